#include "update/flash_adapter.h"

#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "lib/shell.h"
#include "lib/trusted_directory.h"
#include "log/event_log.h"
#include "log/progress_line.h"
#include "tool/flash_tool.h"
#include "tool/text_checks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// The image the tool is about to open by name: a plain, safe name in
// ./nic_fw/ and, there, a regular file (as root one that only root or this
// user can change). Checked just before the flash; nobody else can change
// the directory meanwhile. "" when it may be flashed, else why not.
std::string image_refusal(const NicInfo& nic)
{
    const std::string dir = g_FwDir;
    const std::string name = nic.fw_image_path.compare(0, dir.size(), dir) == 0 ? nic.fw_image_path.substr(dir.size())
                                                                               : "";
    if (!is_safe_image_name(name.c_str()))
        return "only a file name in " + dir + " of letters, digits and ._+- is allowed";
    int dirfd = open(g_FwDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string why = dirfd < 0 ? format_text("cannot be opened (%s)", strerror(errno)) : "";
    int fd = dirfd < 0 ? -1 : open_checked_file(dirfd, name.c_str(), true, &why);
    if (fd >= 0)
        close(fd);
    if (dirfd >= 0)
        close(dirfd);
    return fd >= 0 ? "" : "it " + why;
}

// A terminal shows that the flash goes on (it can take minutes); the line
// is gone before the outcome is told.
int flash_with_progress(const NicInfo& nic, const std::string& command)
{
    ProgressLine progress;
    const time_t started = time(nullptr);
    auto show = [&] {
        progress.show(format_text("Flashing %s (MAC %s) ... %s", log_safe(nic.device_id).c_str(),
                                  log_safe(nic.macaddress).c_str(),
                                  elapsed_text(static_cast<long>(time(nullptr) - started)).c_str()));
    };
    show();
    return do_command_shielded(command, show);
}

} // namespace

int do_update_firmware(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= g_ninfo.size())
        return FWUPG_ERR;
    NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    // After a termination signal no flash starts, whoever asks for it.
    if ((nic.flags & NIC_UPDATE) == 0 || interrupted())
        return FWUPG_ERR;

    const std::string mac = log_safe(nic.macaddress);
    log_event_f(LOG_INFO, 0, "Selecting %s MAC: %-12s \n", log_safe(nic.product_id).c_str(), mac.c_str());
    // A path the shell could read as syntax, or a file someone else could
    // have planted, is never flashed; nor is the output of an earlier flash
    // searched for it.
    const std::string refusal = image_refusal(nic);
    if (!refusal.empty()) {
        log_event_f(LOG_ERROR, 0, "Image %s for MAC %s is refused: %s; not flashed.\n",
                    log_safe(nic.fw_image_path).c_str(), mac.c_str(), log_safe(refusal).c_str());
        g_iFlag |= RUN_FLASH_FAILED;
        nic.flash_outcome = FlashOutcome::FAILED;
        return FWUPG_ERR;
    }
    const std::string command = cmd_flash(nic.nic_number, nic.fw_image_path.c_str());
    // A flash cut short can leave the adapter without a working option ROM:
    // the tool is shielded from the termination signals, and one that
    // arrives meanwhile is acted on once the outcome is logged.
    if (flash_with_progress(nic, command) == 0) {
        g_iFlag |= RUN_FLASH_OK;
        nic.flash_outcome = FlashOutcome::SUCCEEDED;
        log_event_f(LOG_INFO, 0, "MAC %-12s Upgrade SUCCESS\n", mac.c_str());
        return FWUPG_OK;
    }

    g_iFlag |= RUN_FLASH_FAILED;
    nic.flash_outcome = FlashOutcome::FAILED;
    if (do_command(cmd_search_psid_mismatch()) == 0)
        log_event_f(LOG_ERROR, 0, "Fimware upgrade on this device is not supported\n %s\n", command.c_str());
    else
        log_event_f(LOG_ERROR, 0, "Upgrade failed\n %s\n", command.c_str());
    // A failed flash is a failure, whatever the search found.
    return FWUPG_ERR;
}
