#!/bin/sh
# Builds the benchmark and the flash-tool simulator in build-bench/, then
# prints the Markdown table on standard output (build output goes to
# standard error). Arguments go to dazed-bench, e.g. --repeat 5 or the names
# of single scenarios (dazed-bench --list).
set -eu
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -G Ninja -DDAZED_BUILD_TESTS=OFF -DDAZED_BUILD_BENCH=ON >&2
cmake --build "$build" --target dazed-bench bootutil-sim >&2
exec "$build/bench/dazed-bench" "$@"
