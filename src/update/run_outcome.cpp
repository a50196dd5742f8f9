#include "update/run_outcome.h"

#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"

int interrupted_run_result()
{
    if ((g_iFlag & (RUN_FLASH_OK | RUN_FLASH_FAILED)) == 0)
        return FWUPG_QUIT;
    if (g_iFlag & RUN_FLASH_FAILED)
        return FWUPG_ERR;
    for (const NicInfo& nic : g_ninfo) {
        if ((nic.flags & NIC_UPDATE) && nic.flash_outcome != FlashOutcome::SUCCEEDED)
            return FWUPG_ERR;
    }
    return FWUPG_OK;
}
