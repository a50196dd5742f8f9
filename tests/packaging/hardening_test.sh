#!/usr/bin/env bash
# The release build of the program carries its hardening: fortified libc
# calls, stack protection, full RELRO and immediate binding.
#   hardening_test.sh <source-dir> <dazed-fug> <build-type> <sanitized>
source "$1/tests/packaging/lib.sh"
program=$2 build_type=$3 sanitized=$4

[ "$build_type" != Debug ] || skip "a Debug build is not hardened"
[ "$sanitized" != ON ] || skip "the sanitizer build is not hardened"
command -v readelf >/dev/null || skip "readelf is not installed"

headers=$(readelf -lW "$program")
dynamic=$(readelf -dW "$program")
symbols=$(readelf -sW --dyn-syms "$program")
expect_contains "program headers" "GNU_RELRO" "$headers"
case $dynamic in
    *BIND_NOW* | *"Flags: NOW"*) ;;
    *) fail "dynamic section: no immediate binding in [$dynamic]" ;;
esac
expect_contains "stack protector" "__stack_chk_fail" "$symbols"
grep -q '__[a-z]*_chk@' <<<"$symbols" || fail "no fortified libc call among the symbols"
finish
