#!/usr/bin/env bash
# Builds the program and runs it in a simulated package directory (out/demo).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

demo=out/demo
rm -rf "$demo"
mkdir -p "$demo/nic_fw" "$demo/durivozo"
cp build/dazed-fug "$demo/"
cd "$demo"
echo "== ./dazed-fug -h (in $demo)"
./dazed-fug -h
