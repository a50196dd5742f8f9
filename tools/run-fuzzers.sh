#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each, one after another,
# for the given number of seconds (default 25) on a scratch copy of its seed
# corpus, after replaying its saved regression inputs. Any finding fails.
#   tools/run-fuzzers.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-25}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DDAZED_FUZZ=ON -DDAZED_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzzers

# Longest input per target: a little past the buffers each one is about.
declare -A max_len=(
    [arguments]=4200 [catalog]=4096 [report]=8192 [axtoi]=16
    [word_picker]=4200 [parseversions]=64 [answer]=10000
    [report_writer]=9000 [command_lines]=4096
)

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/*_fuzzer.cpp; do
        name=$(basename "$source" .cpp)
        targets+=("${name%_fuzzer}")
    done
fi

# The design keeps some memory for the life of the process: no leak checks.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

scratch=$(mktemp -d /tmp/dazed-fuzz-run-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
artifacts=$root/build-fuzz/artifacts
failed=()

for target in "${targets[@]}"; do
    binary=$root/build-fuzz/fuzz/${target}_fuzzer
    len=${max_len[$target]:-4096}
    log=$scratch/$target.log
    mkdir -p "$artifacts/$target" "$scratch/corpus-$target"
    flags=(-max_len="$len" -timeout=10 -detect_leaks=0 -artifact_prefix="$artifacts/$target/")
    if [ -f "fuzz/$target.dict" ]; then
        flags+=(-dict="$root/fuzz/$target.dict")
    fi

    regressions=(fuzz/regressions/$target/*)
    if [ -e "${regressions[0]}" ]; then
        if ! "$binary" "${flags[@]}" "${regressions[@]/#/$root/}" >"$log" 2>&1; then
            echo "fuzz $target: a saved regression input fails again"
            tail -n 40 "$log"
            failed+=("$target")
            continue
        fi
    fi

    if [ -d "fuzz/corpus/$target" ]; then
        cp -r "fuzz/corpus/$target/." "$scratch/corpus-$target/"
    fi
    if "$binary" "${flags[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        "$scratch/corpus-$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz $target: ${seconds}s, ${runs:-?} inputs, no finding"
    else
        echo "fuzz $target: FINDING (inputs saved under $artifacts/$target/)"
        tail -n 60 "$log"
        failed+=("$target")
    fi
done

passed=$((${#targets[@]} - ${#failed[@]}))
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz targets with a finding: ${failed[*]}"
    echo "fuzzing: $passed passed, ${#failed[@]} failed"
    exit 1
fi
echo "fuzzing: $passed passed, 0 failed"
