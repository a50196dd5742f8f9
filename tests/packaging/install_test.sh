#!/usr/bin/env bash
# cmake --install puts the program, its man page and its completion under a
# prefix.
#   install_test.sh <source-dir> <build-dir>
source "$(dirname "$0")/lib.sh"
src=$1 build=$2
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
[ -f "$prefix/sbin/dazed-fug" ] && [ -x "$prefix/sbin/dazed-fug" ] || fail "sbin/dazed-fug missing or not executable"
cmp -s "$src/man/dazed-fug.8" "$prefix/share/man/man8/dazed-fug.8" || fail "man page not installed"
cmp -s "$src/completion/dazed-fug.bash" "$prefix/share/bash-completion/completions/dazed-fug" ||
    fail "completion not installed"
leftover=$(cd "$prefix" && find . -type f | sort | tr '\n' ' ')
expect_eq "installed files" "./sbin/dazed-fug ./share/bash-completion/completions/dazed-fug ./share/man/man8/dazed-fug.8 " "$leftover"
finish
