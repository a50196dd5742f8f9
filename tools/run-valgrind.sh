#!/usr/bin/env bash
# Runs the end-to-end tests with the real binary under valgrind's memcheck
# and fails on any invalid read or write or use of uninitialised memory.
# Leaks are not counted: the inventory lives until the process exits.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
logs=$(mktemp -d /tmp/dazed-valgrind-XXXXXX)
trap 'rm -rf "$logs"' EXIT

export DAZED_TEST_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=no --track-origins=yes --log-file=$logs/vg.%p"
# The tests that run the real binary; the timing-sensitive signal and
# concurrency tests are left to the plain runs.
ctest --test-dir "$build" --output-on-failure --timeout 900 \
    -R 'CommandLine|EndToEnd|Binary|E2e|e2e|DirectedUpdateBinary|DiscoveryBinary' \
    -E 'Concurrent|Interrupt|Signal'

errors=$(grep -l -E "ERROR SUMMARY: [1-9]|Invalid (read|write)|uninitialised" "$logs"/vg.* 2>/dev/null || true)
runs=$(ls "$logs" | wc -l)
if [ -n "$errors" ]; then
    cat $errors
    echo "valgrind found memory errors (above)"
    exit 1
fi
echo "valgrind: $runs runs of dazed-fug, no memory errors"
