#include "update/fw_upgrade.h"

#include "inventory/nic_info.h"
#include "inventory/nic_list.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "update/flash_adapter.h"
#include "update/run_outcome.h"
#include "update/update_decision.h"

#include <string>

int fw_upgrade()
{
    if (build_NIC_list() != FWUPG_OK)
        return interrupted() ? interrupted_run_result() : FWUPG_ERR;
    if (g_nDazedNICs == 0) {
        log_event_f(LOG_INFO, 1, "No supported adapters found\n");
        return FWUPG_OK;
    }

    // After a termination signal nothing more is judged or flashed, not even
    // an adapter accepted before it; the caller logs why.
    int judged = FWUPG_OK;
    for (int i = 0; i < g_nDazedNICs; ++i) {
        if (interrupted())
            return interrupted_run_result();
        judged = select_firmware(i);
        if (interrupted())
            return interrupted_run_result();
        if (g_iFlag & RUN_USER_QUIT) {
            log_event_f(LOG_ERROR, 1, "Firmware upgrade cancelled by User\n");
            judged = FWUPG_QUIT;
            break;
        }
    }

    // Adapters accepted before a quit are flashed too.
    for (int i = 0; i < g_nDazedNICs; ++i) {
        if (interrupted())
            return interrupted_run_result();
        do_update_firmware(i);
    }
    if (interrupted())
        return interrupted_run_result();

    if (g_iFlag & RUN_FLASH_FAILED) {
        print_message("\nNIC firmware update completed with errors. \n");
        return left_out_result(FWUPG_ERR);
    }
    if ((g_iFlag & RUN_FLASH_OK) == 0)
        return left_out_result(judged);
    log_event_f(LOG_INFO, 1, "NIC firmware update SUCCESS\n");
    log_event_f(LOG_INFO, 1, "Reboot the system for FW upgrade to take effect.\n");
    return left_out_result(FWUPG_OK);
}
