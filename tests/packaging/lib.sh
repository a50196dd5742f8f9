# shellcheck shell=bash
# Shared by the packaging tests: a private temporary directory and checks
# that count failures instead of stopping at the first.
set -uo pipefail

tmp=$(mktemp -d /tmp/dazed-test-XXXXXX) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect_eq <what> <expected> <actual>
expect_eq() {
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# expect_contains <what> <needle> <haystack>
expect_contains() {
    case $3 in
        *"$2"*) ;;
        *) fail "$1: [$2] not in [$3]" ;;
    esac
}

skip() {
    echo "skipped: $*"
    exit 77
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# Running the real binary stages a driver into the host's /lib/modules when a
# distribution release file exists; tests never touch the host.
skip_if_host_unsafe() {
    local release
    for release in /etc/SuSE-release /etc/redhat-release; do
        [ ! -e "$release" ] || skip "$release exists, so the real binary would stage into the host's /lib/modules"
    done
}
