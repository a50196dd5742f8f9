#!/usr/bin/env bash
# Builds the program and the flash-tool simulator (nothing else: the tests
# and the benchmark are tools/run-tests.sh's) and runs the program in a
# simulated package directory (out/demo): the simulator as ./bootutil, a
# catalog entry written for this machine's own PCI network interface, and an
# image for it. Then -c shows the version table for the real NIC.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
echo "== building dazed-fug and the flash-tool simulator only; tools/run-tests.sh builds the rest"
cmake --build build --target dazed-fug bootutil-sim

demo=out/demo
rm -rf "$demo"
tools/make-sim-vendor-dir.sh "$demo" build/tools/bootutil-sim
cp build/dazed-fug "$demo/"

# An empty catalog means the machine offered no adapter for the demo.
if ! grep -q '<NIC ' "$demo/nic_fw/NICFWData.xml"; then
    echo "This machine has no eth interface on function 0 of a PCI device, so there is"
    echo "no adapter for the demo to show. 'dazed-fug -c' would say:"
fi

cd "$demo"
echo "== $top/$demo\$ ./dazed-fug -c"
status=0
./dazed-fug -c || status=$?
echo "== exit status $status; the run's event log is $top/$demo/bootutil.log"
