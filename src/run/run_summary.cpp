#include "run/run_summary.h"

#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/system_log.h"
#include "log/event_log.h"
#include "tool/tool_output.h"

#include <syslog.h>

#include <string>

namespace {

const char* g_mode_name = nullptr;

const char* outcome_word(FlashOutcome outcome)
{
    return outcome == FlashOutcome::SUCCEEDED ? "succeeded" : "failed";
}

// The directed update has the new version only as its report says, and a
// report can say anything: only a text that reads whole as a version is
// taken, so that no report can write results of its own into the line.
std::string available_version(const NicInfo& nic)
{
    if (nic.reported_version.empty())
        return version_text(nic.img_version);
    return version_reads_whole(nic.reported_version.c_str()) ? nic.reported_version : "unknown";
}

} // namespace

void note_mode_reached(const char* mode_name)
{
    g_mode_name = mode_name;
}

std::string run_summary_line(int result)
{
    if (g_mode_name == nullptr)
        return "";
    std::string flashed;
    for (const NicInfo& nic : g_ninfo) {
        if (nic.flash_outcome == FlashOutcome::NOT_FLASHED)
            continue;
        flashed += (flashed.empty() ? "" : ", ") + nic.macaddress + " " + version_text(nic.cur_version) + " -> " +
                   available_version(nic) + " " + outcome_word(nic.flash_outcome);
    }
    const std::string message = std::string("mode ") + g_mode_name + "; flashed: " +
                                (flashed.empty() ? "none" : flashed) + "; " + return_code_name(result);
    return log_safe(message);
}

void log_run_summary(int result)
{
    const std::string line = run_summary_line(result);
    if (!line.empty())
        send_to_system_log(result == FWUPG_OK ? LOG_INFO : LOG_ERR, line);
}
