#!/usr/bin/env bash
# Lays out a vendor directory around the flash-tool simulator: the simulator
# as ./bootutil, nic_fw/ with a catalog and an image, an empty durivozo/, and
# the simulator's state. When this machine has an eth interface on function 0
# of a PCI device, the catalog names that device and the state lists its MAC
# with older firmware than the image; otherwise both are empty.
#
#   tools/make-sim-vendor-dir.sh <dir> [<bootutil-sim binary>]
#
# The binary defaults to build/tools/bootutil-sim of this repository.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 <dir> [<bootutil-sim binary>]" >&2
    exit 2
fi
dir=$1
sim=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/tools/bootutil-sim}
if [ ! -x "$sim" ]; then
    echo "$0: no simulator at $sim (build the bootutil-sim target)" >&2
    exit 1
fi

# The first eth interface on function 0 of a PCI device, as the program sees it.
host_nic=""
pci=""
for net in $(ls -d /sys/class/net/*eth* 2>/dev/null | sort); do
    for dev in "$net/device" "$net/device/.."; do
        [ -e "$dev/subsystem_device" ] || continue
        bus=$(basename "$(readlink -f "$dev")")
        case "$bus" in *:*:*.0) host_nic=$net; pci=$(readlink -f "$dev"); break 2 ;; esac
    done
done

mkdir -p "$dir/nic_fw" "$dir/durivozo"
cp "$sim" "$dir/bootutil"
chmod 0755 "$dir/bootutil"

pci_id() { printf '%04X' "$(cat "$pci/$1")"; }
if [ -n "$host_nic" ]; then
    mac=$(tr -d ':\n' < "$host_nic/address" | tr 'a-f' 'A-F')
    cat > "$dir/nic_fw/NICFWData.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<NICFWData>
  <NIC name="Demo Dazed Server Adapter" venid="$(pci_id vendor)" devid="$(pci_id device)" subvenid="$(pci_id subsystem_vendor)" subdevid="$(pci_id subsystem_device)" fwFile="demo_combo.bin"/>
</NICFWData>
XML
    echo "simulated firmware image" > "$dir/nic_fw/demo_combo.bin"
    cat > "$dir/bootutil-sim.state" <<STATE
# The simulated flash tool's view of this host.
adapter nic=1 mac=$mac psid=DZ-DEMO-01 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7
image file=demo_combo.bin psid=DZ-DEMO-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9
STATE
else
    printf '<?xml version="1.0"?>\n<NICFWData/>\n' > "$dir/nic_fw/NICFWData.xml"
    : > "$dir/bootutil-sim.state"
fi
