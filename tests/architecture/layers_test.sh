#!/usr/bin/env bash
# Every #include of the program's own headers goes down the layers:
#   lib <- event log <- tool <- inventory, driver <- report <- update <- run control
# A file may include headers of its own folder (the event log and console,
# app/event_log and app/progress_line, only their own) and of any lower layer, never of a higher one or of a sibling.
set -u
src=${1:?usage: layers_test.sh <source directory>}

rank_of() {
    case "$1" in
    lib/*) echo 0 ;;
    app/event_log.* | app/progress_line.*) echo 1 ;;
    tool/*) echo 2 ;;
    inventory/* | driver/*) echo 3 ;;
    report/*) echo 4 ;;
    update/*) echo 5 ;;
    app/* | main.cpp) echo 6 ;;
    *) echo 9 ;;
    esac
}

group_of() {
    case "$1" in
    app/event_log.* | app/progress_line.*) echo event_log ;;
    main.cpp) echo app ;;
    */*) echo "${1%%/*}" ;;
    *) echo "$1" ;;
    esac
}

check() {
    local root=$1 bad=0 file rel included
    while IFS= read -r file; do
        rel=${file#"$root"/}
        while IFS= read -r included; do
            [ -f "$root/$included" ] || continue
            if [ "$(group_of "$included")" != "$(group_of "$rel")" ] &&
                [ "$(rank_of "$included")" -ge "$(rank_of "$rel")" ]; then
                echo "forbidden: $rel includes $included"
                bad=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done < <(find "$root" -name '*.cpp' -o -name '*.h' | sort)
    return $bad
}

check "$src" || exit 1

# The check itself must catch a forbidden include.
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/lib" "$tmp/tool" "$tmp/inventory" "$tmp/driver"
echo '#include "tool/shell.h"' > "$tmp/lib/up.h"
echo '#include "driver/staging.h"' > "$tmp/inventory/sideways.h"
touch "$tmp/tool/shell.h" "$tmp/driver/staging.h"
if [ "$(check "$tmp" | wc -l)" != 2 ]; then
    echo "the check missed a forbidden include"
    exit 1
fi
echo "layers kept"
