#include "update/directed_flash.h"

#include "catalog/fw_catalog.h"
#include "inventory/nic_info.h"
#include "lib/config.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "lib/shell.h"
#include "log/event_log.h"
#include "tool/flash_tool.h"
#include "tool/text_checks.h"
#include "tool/tool_number.h"
#include "update/flash_adapter.h"
#include "update/run_outcome.h"

#include <unistd.h>


namespace {

// Asks the flash tool for the number of the adapter with the record's MAC
// address; only a text of exactly 12 hexadecimal digits goes into the shell
// command, and the number follows the inventory's rule. Logs why not and
// gives false when the device cannot be flashed.
bool find_tool_number(NicInfo& nic)
{
    if (!is_mac_text(nic.macaddress.c_str())) {
        log_event_f(LOG_ERROR, 0, "read_discovery_report: Invalid MAC address \"%s\" of device %s, not flashed\n",
                    log_safe(nic.macaddress).c_str(), log_safe(nic.device_id).c_str());
        return false;
    }
    const bool ran = do_command_unless_interrupted(cmd_find_adapter(nic.macaddress.c_str()));
    const ToolNumber number = read_tool_number(TMP_DATA_TMP);
    unlink(TMP_DATA_TMP);
    if (!ran)
        return false;  // the caller stops on the signal
    switch (number.state) {
    case ToolNumberState::USABLE:
        nic.nic_number = number.number;
        return true;
    case ToolNumberState::NOT_LISTED:
        // Without a number the flash command would name adapter 0, not this one.
        log_event_f(LOG_ERROR, 0, "read_discovery_report: MAC %s not listed by the flash tool, not flashed\n",
                    nic.macaddress.c_str());
        return false;
    case ToolNumberState::UNUSABLE:
        break;
    }
    log_unusable_tool_number(nic.macaddress, number, "not flashed.");
    return false;
}

int catalog_error()
{
    log_event_f(LOG_ERROR, 0, "read_discovery_report: Error at read_NIC_FW_xml_file\n");
    return FWUPG_ERR;
}

} // namespace

int flash_report_devices(int count)
{
    // The tool is judged only when the report asks for a flash: a report
    // with nothing marked has nothing for it to do, whatever state it is in.
    bool any_marked = false;
    for (int i = 0; i < count; ++i)
        any_marked = any_marked || (g_ninfo[static_cast<size_t>(i)].flags & NIC_UPDATE) != 0;
    if (any_marked && (check_flash_tool() != FWUPG_OK || check_flash_tool_lists() != FWUPG_OK))
        return interrupted() ? interrupted_run_result() : FWUPG_ERR;
    if (load_firmware_catalog() != FWUPG_OK)
        return catalog_error();
    FirmwareCatalogEntry entry;
    bool failed = false;
    for (int i = 0; i < count; ++i) {
        // After a termination signal no device is looked up or flashed;
        // the caller logs why.
        if (interrupted())
            return interrupted_run_result();
        NicInfo& nic = g_ninfo[static_cast<size_t>(i)];

        // A device that is not to be flashed is still looked up in the
        // catalog, and a miss still ends the run.
        std::string key = pci_identity_key(nic.venid, nic.devid, nic.subvenid, nic.subdevid);
        if (read_NIC_FW_xml_file(key.c_str(), &entry) != CATALOG_FOUND)
            return catalog_error();
        nic.fw_file = entry.fwFile;
        nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;

        // Only what the report asks to flash is judged by its MAC address.
        if (!(nic.flags & NIC_UPDATE))
            continue;
        if (!find_tool_number(nic)) {
            failed = true;
            continue;
        }
        do_update_firmware(i);
    }
    if (interrupted())
        return interrupted_run_result();
    if (failed || (g_iFlag & RUN_FLASH_FAILED))
        return FWUPG_ERR;
    return FWUPG_OK;
}
