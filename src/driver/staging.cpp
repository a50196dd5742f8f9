#include "driver/staging.h"

#include "app/bounded_text.h"
#include "app/event_log.h"
#include "app/host_seam.h"
#include "app/return_codes.h"
#include "driver/critical_section.h"
#include "driver/module_files.h"
#include "driver/staging_state.h"
#include "tool/shell.h"

#include <cstring>

char kernel_path[KERNEL_PATH_SIZE] = "/lib/modules/";
StagingState g_staging_state = StagingState::NotFormed;
const char g_BackupModule[] = "durivozo.ko";

namespace {

const char kModuleSubPath[] = "/kernel/drivers/net/durivozo.ko";

const char kNoKernelVersion[] = "Failed to get kernel version\n";
const char kUnsupportedKernel[] = "kernel: %s is not supported by the component.\n";
const char kNoReleaseFile[] =
    "Neither /etc/SuSE-release nor /etc/redhat-release exists; the flash driver was not staged.\n";
const char kBackupInTheWay[] =
    "durivozo.ko from an earlier run is in the working directory and would be overwritten by %s; "
    "put it back or remove it first.\n";
const char kBackupMoveFailed[] =
    "Could not move the system's module %s into the working directory; staging stopped.\n";

struct Distribution {
    const char* release_file;
    const char* tag;
};

// Checked in this order: with both files present the system counts as SLES.
const Distribution kDistributions[] = {
    {HOST_SUSE_RELEASE, "SLES"},
    {HOST_REDHAT_RELEASE, "RHEL"},
};

const char* distribution_tag()
{
    for (const Distribution& d : kDistributions) {
        if (can_open_for_reading(host_path(d.release_file).c_str()))
            return d.tag;
    }
    return nullptr;
}

// The release goes unquoted into shell command lines (the candidate's "*"
// must stay a wildcard), so only the characters kernel releases are made of
// are let through.
bool release_is_shell_safe(const std::string& release)
{
    if (release.empty())
        return false;
    for (char c : release) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  strchr("._+-~,", c) != nullptr;
        if (!ok)
            return false;
    }
    return true;
}

int refuse_kernel(const std::string& release)
{
    log_event_f(LOG_ERROR, 1, kUnsupportedKernel, release.c_str());
    return FWUPG_ERR;
}

// Moves the system's module into the working directory. Succeeds only when
// the module has left the tree and the backup is a file here: a backup left
// by an earlier run is never overwritten, and whatever mv reports is not
// taken on trust.
bool set_system_module_aside()
{
    if (path_exists(g_BackupModule)) {
        log_event_f(LOG_ERROR, 1, kBackupInTheWay, kernel_path);
        return false;
    }
    do_command(format_text("(mv %s ./)\n", kernel_path));
    if (path_exists(kernel_path) || !is_regular_file(g_BackupModule)) {
        log_event_f(LOG_ERROR, 1, kBackupMoveFailed, kernel_path);
        return false;
    }
    return true;
}

} // namespace

void reset_staging_state()
{
    copy_bounded(kernel_path, sizeof kernel_path, HOST_LIB_MODULES);
    g_staging_state = StagingState::NotFormed;
}

int update_iqv_driver()
{
    CriticalSection guard;

    std::string release;
    if (g_host.kernel_release == nullptr || g_host.kernel_release(&release) != 0) {
        log_event_f(LOG_ERROR, 1, kNoKernelVersion);
        return FWUPG_ERR;
    }
    if (!release_is_shell_safe(release))
        return refuse_kernel(release);

    const std::string modules_dir = host_path(HOST_LIB_MODULES) + release;
    const std::string module_path = modules_dir + kModuleSubPath;
    // A path that does not fit is refused rather than cut into another path.
    if (module_path.size() >= sizeof kernel_path)
        return refuse_kernel(release);
    copy_bounded(kernel_path, sizeof kernel_path, modules_dir.c_str());

    const char* tag = distribution_tag();
    if (tag == nullptr) {
        // kernel_path names the modules directory here; nothing may act on it.
        log_event_f(LOG_WARNING, 0, kNoReleaseFile);
        return FWUPG_OK;
    }
    copy_bounded(kernel_path, sizeof kernel_path, module_path.c_str());
    g_staging_state = StagingState::Formed;

    if (can_open_for_reading(kernel_path) && !set_system_module_aside()) {
        g_staging_state = StagingState::HeldBack;
        return FWUPG_ERR;
    }

    char variant[VARIANT_SIZE];
    findvariant(release.c_str(), variant, sizeof variant);
    const std::string candidate = candidate_module_name(tag, release.c_str(), variant);

    // The listing's complaint about a missing pattern reaches the console.
    if (do_command(format_text("(ls %s > /dev/null)\n", candidate.c_str())) != 0)
        return refuse_kernel(release);

    do_command(format_text("(cp %s %s)\n", candidate.c_str(), kernel_path));
    return FWUPG_OK;
}
