#!/usr/bin/env bash
# The bash completion offers the options the program accepts, and report
# files where the program takes one.
#   completion_test.sh <source-dir>
source "$(dirname "$0")/lib.sh"
source "$1/completion/dazed-fug.bash"
complete -p dazed-fug >/dev/null || fail "no completion registered for dazed-fug"

cd "$tmp" && touch a.xml B.XML notes.txt && mkdir reports

all_long="--discovery --downgrade --force --help --rewrite --silent --usexml"
all="$all_long -c -d -e -f -g -h -s -u"

# <arguments typed, the last being completed; _ is an empty word>|<offers, C-sorted>
while IFS='|' read -r typed expected; do
    read -ra words <<<"$typed"
    for i in "${!words[@]}"; do
        [ "${words[i]}" != _ ] || words[i]=""
    done
    COMP_WORDS=(dazed-fug "${words[@]}")
    COMP_CWORD=${#words[@]}
    _dazed_fug
    got=$( (( ${#COMPREPLY[@]} )) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
    expect_eq "dazed-fug $typed" "$(eval echo "$expected")" "${got% }"
done <<'CASES'
_|$all
-|$all
--|$all_long
--d|--discovery --downgrade
--reb|
-m|
-d _|B.XML a.xml reports
-US r|reports
--disc a|a.xml
/d _|B.XML a.xml reports
--d _|$all
-s _|$all
-s -g _|$all
-s -g -e _|
CASES
finish
