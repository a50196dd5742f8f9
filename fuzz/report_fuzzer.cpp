// Discovery report reader: both passes over the input as the report, into
// the table. The flashing loop is not run, so no command is ever given.
#include "update/directed_update.h"

#include "fuzz_support.h"
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/test_support.h"

#include <string>

using fuzz_support::require;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_support::mute_stdout();
    fuzz_support::use_scratch_report();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    testing_support::write_file(g_XMLDiscoveryReport, fuzz_support::bytes(data, size));
    g_ninfo.clear();

    int count = -1;
    int result = load_discovery_report(count);
    require(result == FWUPG_OK || result == FWUPG_ERR, "reader gives 0 or 6");
    require(count >= 0 && static_cast<size_t>(count) <= g_ninfo.size(), "count within the table");
    if (result == FWUPG_OK)
        require(static_cast<size_t>(count) == g_ninfo.size(), "one record per device");
    require(g_nNics == 0 && g_nDazedNICs == 0, "inventory counts untouched");
    for (const NicInfo& nic : g_ninfo) {
        require((nic.flags & ~(NIC_HAS_ROM | NIC_UPDATE)) == 0, "record flags");
        require(nic.bus_location.size() <= 31, "bus location within its 32-byte buffer");
        require(nic.venid <= 0xFFFF && nic.devid <= 0xFFFF && nic.subvenid <= 0xFFFF && nic.subdevid <= 0xFFFF,
                "IDs of four hexadecimal digits");
    }
    return 0;
}
