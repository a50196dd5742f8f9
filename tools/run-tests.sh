#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure --timeout 600

# The whole suite once more with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-sanitize -G Ninja -DDAZED_SANITIZE=ON
cmake --build build-sanitize
# The fleet rollout is left out here: it would run Ansible a second time for
# the same binary steps that the suites above already check.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure --timeout 600 -E '^deploy\.ansible_rollout$'

# The end-to-end tests once more with the real binary under valgrind.
tools/run-valgrind.sh build

# Every fuzz target for a bounded time; any finding fails the run.
tools/run-fuzzers.sh
