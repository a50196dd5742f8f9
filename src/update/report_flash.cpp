#include "update/report_flash.h"

#include "app/config.h"
#include "app/event_log.h"
#include "app/interrupts.h"
#include "app/return_codes.h"
#include "app/run_flags.h"
#include "inventory/nic_info.h"
#include "tool/flash_tool.h"
#include "tool/fw_catalog.h"
#include "tool/shell.h"
#include "tool/text_checks.h"
#include "tool/tool_output.h"
#include "update/fw_upgrade.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

// The tool's adapter number: decimal digits only, short enough for atoi.
constexpr size_t kToolNumberSize = 16;
constexpr size_t kMaxToolNumberDigits = 9;

enum class Listing { LISTED, NOT_LISTED, NOT_ASKED };

bool is_tool_number(const char* word)
{
    return is_decimal_text(word) && strlen(word) <= kMaxToolNumberDigits;
}

// Asks the flash tool for the adapter with the record's MAC address. Only a
// text of exactly 12 hexadecimal digits goes into the shell command.
Listing find_tool_number(NicInfo& nic)
{
    if (!is_mac_text(nic.macaddress.c_str())) {
        log_event_f(LOG_ERROR, 0, "read_discovery_report: Invalid MAC address \"%s\" of device %s, not flashed\n",
                    nic.macaddress.c_str(), nic.device_id.c_str());
        return Listing::NOT_ASKED;
    }
    do_command(cmd_find_adapter(nic.macaddress.c_str()));
    char word[kToolNumberSize] = "";
    get_nth_word_from_file(TMP_DATA_TMP, 2, word, sizeof word);
    unlink(TMP_DATA_TMP);
    if (!is_tool_number(word))
        return Listing::NOT_LISTED;
    nic.nic_number = atoi(word);
    return Listing::LISTED;
}

} // namespace

int flash_report_devices(int count)
{
    FirmwareCatalogEntry entry;
    bool failed = false;
    for (int i = 0; i < count; ++i) {
        // After a termination signal no device is looked up or flashed;
        // the caller logs why.
        if (interrupted())
            return interrupted_result(g_iFlag);
        NicInfo& nic = g_ninfo[static_cast<size_t>(i)];
        Listing listing = find_tool_number(nic);
        if (interrupted())
            return interrupted_result(g_iFlag);
        if (listing == Listing::NOT_ASKED)
            failed = true;

        // A device that is not to be flashed is still looked up, and a miss
        // still ends the run.
        std::string key = pci_identity_key(nic.venid, nic.devid, nic.subvenid, nic.subdevid);
        if (read_NIC_FW_xml_file(key.c_str(), &entry) != CATALOG_FOUND) {
            log_event_f(LOG_ERROR, 0, "read_discovery_report: Error at read_NIC_FW_xml_file\n");
            return FWUPG_ERR;
        }
        nic.fw_file = entry.fwFile;
        nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;

        if (listing == Listing::NOT_ASKED || !(nic.flags & NIC_UPDATE))
            continue;
        // Without a number the flash command would name adapter 0, not this one.
        if (listing == Listing::NOT_LISTED) {
            log_event_f(LOG_ERROR, 0, "read_discovery_report: MAC %s not listed by the flash tool, not flashed\n",
                        nic.macaddress.c_str());
            failed = true;
            continue;
        }
        do_update_firmware(i);
    }
    if (interrupted())
        return interrupted_result(g_iFlag);
    if (failed || (g_iFlag & RUN_FLASH_FAILED))
        return FWUPG_ERR;
    return FWUPG_OK;
}
