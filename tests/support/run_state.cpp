#include "support/run_state.h"

#include "catalog/fw_catalog.h"
#include "driver/staging.h"
#include "inventory/interface_request.h"
#include "inventory/nic_info.h"
#include "lib/interrupts.h"
#include "lib/run_state.h"

namespace testing_support {

void reset_run_state()
{
    g_iFlag = 0;
    g_ninfo.clear();
    g_nNics = g_nDazedNICs = g_nLeftOutNICs = 0;
    g_XMLDiscoveryReport[0] = '\0';
    reset_staging_state();
    reset_interrupts();
    forget_firmware_catalog();
    close_probe_sockets();
}

} // namespace testing_support
