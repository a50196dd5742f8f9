#!/usr/bin/env bash
# The man page renders without warnings and keeps up with the program.
#   man_page_test.sh <source-dir>
source "$(dirname "$0")/lib.sh"
src=$1
page=$src/man/dazed-fug.8

command -v mandoc >/dev/null || skip "mandoc is not installed (tools/install-deps.sh installs it)"
lint=$(mandoc -T lint -W style "$page" 2>&1)
expect_eq "mandoc -T lint" "" "$lint"
if command -v groff >/dev/null; then
    expect_eq "groff -ww" "" "$(groff -man -t -ww -z "$page" 2>&1)"
fi

# Every option the program accepts, and each one it refuses, is described.
for option in -c -d -e -f -g -h -s -u -r -m --discovery --downgrade --force --help \
    --rewrite --silent --usexml --reboot --mutual; do
    grep -qE -- "${option//-/\\\\-}([^a-z]|$)" "$page" || fail "option $option not documented"
done

# The usage line is quoted as the program prints it.
usage=$(grep '^USAGE:' "$src/tests/run/golden/usage.txt")
grep -qF -- "${usage//-/\\-}\\&" "$page" || fail "usage line not quoted as printed: $usage"

# Each return code is listed by number and name.
for row in 0@FWUPG_OK 1@FWUPG_OK_REBOOT 2@FWUPG_NOOP_SAME_VERSION 3@FWUPG_NOOP \
    4@FWUPG_TARGET_NOT_FOUND 5@FWUPG_QUIT 6@FWUPG_ERR 7@FWUPG_ERR_FLASH_FAILURE; do
    grep -q "^$row@" "$page" || fail "exit status $row missing"
done
finish
