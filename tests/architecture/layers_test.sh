#!/usr/bin/env bash
# Every #include of the program's own headers goes down the layers, one
# folder of src/ each:
#   lib <- log <- tool, catalog, driver <- inventory <- report <- update <- run
# A file may include headers of its own folder and of any lower layer, never
# of a higher one or of a sibling.
set -u
src=${1:?usage: layers_test.sh <source directory>}

rank_of() {
    case "${1%%/*}" in
    lib) echo 0 ;;
    log) echo 1 ;;
    tool | catalog | driver) echo 2 ;;
    inventory) echo 3 ;;
    report) echo 4 ;;
    update) echo 5 ;;
    run) echo 6 ;;
    *) echo 9 ;;
    esac
}

group_of() {
    echo "${1%%/*}"
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
mkdir -p "$tmp/lib" "$tmp/log" "$tmp/tool" "$tmp/catalog" "$tmp/driver"
echo '#include "log/event_log.h"' > "$tmp/lib/up.h"
echo '#include "driver/staging.h"' > "$tmp/catalog/sideways.h"
echo '#include "lib/shell.h"' > "$tmp/tool/down.h"
touch "$tmp/log/event_log.h" "$tmp/driver/staging.h" "$tmp/lib/shell.h"
if [ "$(check "$tmp" | wc -l)" != 2 ]; then
    echo "the check missed a forbidden include"
    exit 1
fi
echo "layers kept"
