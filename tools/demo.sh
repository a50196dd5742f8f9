#!/usr/bin/env bash
# Builds the program and runs it in a simulated package directory (out/demo):
# the flash-tool simulator as ./bootutil, a catalog entry written for this
# machine's own PCI network interface, and an image for it. Then -c shows
# the version table for the real NIC.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

# The first eth interface on function 0 of a PCI device, as the program sees it.
host_nic=""
for net in $(ls -d /sys/class/net/*eth* 2>/dev/null | sort); do
    for dev in "$net/device" "$net/device/.."; do
        [ -e "$dev/subsystem_device" ] || continue
        bus=$(basename "$(readlink -f "$dev")")
        case "$bus" in *:*:*.0) host_nic=$net; pci=$(readlink -f "$dev"); break 2 ;; esac
    done
done

if [ -z "$host_nic" ]; then
    echo "This machine has no eth interface on function 0 of a PCI device, so there is"
    echo "no adapter for the demo to show. 'dazed-fug -c' would say:"
fi

demo=out/demo
rm -rf "$demo"
mkdir -p "$demo/nic_fw" "$demo/durivozo"
cp build/dazed-fug "$demo/"
cp build/tools/bootutil-sim "$demo/bootutil"

id() { printf '%04X' "$(cat "$pci/$1")"; }
if [ -n "$host_nic" ]; then
    mac=$(tr -d ':\n' < "$host_nic/address" | tr 'a-f' 'A-F')
    cat > "$demo/nic_fw/NICFWData.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<NICFWData>
  <NIC name="Demo Dazed Server Adapter" venid="$(id vendor)" devid="$(id device)" subvenid="$(id subsystem_vendor)" subdevid="$(id subsystem_device)" fwFile="demo_combo.bin"/>
</NICFWData>
XML
    echo "simulated firmware image" > "$demo/nic_fw/demo_combo.bin"
    cat > "$demo/bootutil-sim.state" <<STATE
# The simulated flash tool's view of this host.
adapter nic=1 mac=$mac psid=DZ-DEMO-01 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7
image file=demo_combo.bin psid=DZ-DEMO-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9
STATE
else
    printf '<?xml version="1.0"?>\n<NICFWData/>\n' > "$demo/nic_fw/NICFWData.xml"
    : > "$demo/bootutil-sim.state"
fi

cd "$demo"
echo "== $top/$demo\$ ./dazed-fug -c"
status=0
./dazed-fug -c || status=$?
echo "== exit status $status; the run's event log is $top/$demo/bootutil.log"
