#include "app/run_summary.h"

#include "app/event_log.h"
#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/system_log.h"
#include "report/discovery_report.h"
#include "report/show_current.h"
#include "update/directed_update.h"
#include "update/fw_upgrade.h"

#include <syslog.h>

#include <string>

namespace {

struct ModeName {
    int (*mode)();
    const char* name;
};

const ModeName kModeNames[] = {
    {fw_upgrade, "update"},
    {show_current, "current versions (-c)"},
    {discover_HW, "discovery report (-d)"},
    {read_discovery_report, "directed update (-u)"},
};

const char* g_mode_name = nullptr;

const char* outcome_word(FlashOutcome outcome)
{
    return outcome == FlashOutcome::SUCCEEDED ? "succeeded" : "failed";
}

} // namespace

void note_mode_reached(int (*mode)())
{
    g_mode_name = nullptr;
    for (const ModeName& m : kModeNames) {
        if (m.mode == mode)
            g_mode_name = m.name;
    }
}

void log_run_summary(int result)
{
    if (g_mode_name == nullptr)
        return;
    std::string flashed;
    for (const NicInfo& nic : g_ninfo) {
        if (nic.flash_outcome == FlashOutcome::NOT_FLASHED)
            continue;
        // The directed update has the new version only as its report says.
        const std::string available = nic.reported_version.empty() ? version_text(nic.img_version)
                                                                   : nic.reported_version;
        flashed += (flashed.empty() ? "" : ", ") + nic.macaddress + " " + version_text(nic.cur_version) + " -> " +
                   available + " " + outcome_word(nic.flash_outcome);
    }
    const std::string message = std::string("mode ") + g_mode_name + "; flashed: " +
                                (flashed.empty() ? "none" : flashed) + "; " + return_code_name(result);
    send_to_system_log(result == FWUPG_OK ? LOG_INFO : LOG_ERR, log_safe(message));
}
