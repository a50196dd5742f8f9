#include "driver/staging.h"

#include "driver/load_preflight.h"

#include "driver/module_files.h"
#include "driver/staging_state.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/critical_section.h"
#include "lib/durable_file.h"
#include "lib/host_seam.h"
#include "lib/return_codes.h"
#include "lib/shell.h"
#include "lib/trusted_directory.h"
#include "log/event_log.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

char kernel_path[KERNEL_PATH_SIZE] = "/lib/modules/";
StagingState g_staging_state = StagingState::NotFormed;
ModuleRecord g_staged;
const char g_BackupModule[] = "durivozo.ko";

namespace {

// Why the kernel will not load what was staged ("" when it may).
std::string g_load_warning;


const char kModuleSubPath[] = "/kernel/drivers/net/durivozo.ko";

const char kNoKernelVersion[] = "Failed to get kernel version\n";
const char kUnsupportedKernel[] = "kernel: %s is not supported by the component.\n";
const char kNoReleaseFile[] =
    "Neither /etc/SuSE-release nor /etc/redhat-release exists; the flash driver was not staged.\n";

const char kTreeNotLocked[] = "The run lock on %s cannot be taken (%s); nothing was staged.\n";

struct Distribution {
    const char* release_file;
    const char* tag;
};

// Checked in this order: with both files present the system counts as SLES.
const Distribution kDistributions[] = {
    {HOST_SUSE_RELEASE, "SLES"},
    {HOST_REDHAT_RELEASE, "RHEL"},
};

int refuse_kernel(const std::string& release)
{
    log_event_f(LOG_ERROR, 1, kUnsupportedKernel, log_safe(release).c_str());
    return FWUPG_ERR;
}

int stop_staging(const char* fmt, const std::string& a, const std::string& b = "", const std::string& c = "")
{
    log_event_f(LOG_ERROR, 1, fmt, log_safe(a).c_str(), log_safe(b).c_str(), log_safe(c).c_str());
    return FWUPG_ERR;
}

// What a killed run left half written in root's state directory (only
// under the lock) and in the working directory; the module directory's go
// when staging opens it.
void remove_working_temporaries()
{
    std::string why;
    int state = module_tree_locked() ? open_state_dir(false, &why) : -1;
    if (state >= 0) {
        remove_stale_temporaries(state);
        close(state);
    }
    int wd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (wd >= 0) {
        remove_stale_temporaries(wd);
        close(wd);
    }
}

// Earlier versions kept the system's module in the working directory; a
// durivozo.ko there now is nobody's backup and is never installed.
void warn_ignored_working_copy()
{
    struct stat st {};
    if (fstatat(AT_FDCWD, g_BackupModule, &st, AT_SYMLINK_NOFOLLOW) == 0)
        log_event_f(LOG_WARNING, 0, "./%s in the working directory is ignored: this program keeps the system's "
                    "module in %s.\n", g_BackupModule, state_dir_path().c_str());
}

// The one prebuilt module that the candidate pattern names: the listing
// decides whether the kernel is supported (its complaint reaches the
// console), the pattern is then expanded here, and more than one match is
// refused rather than one picked by chance.
int pick_prebuilt(const std::string& release, const std::string& candidate, std::string* picked)
{
    // Shielded: a terminal's interrupt must not read as an unsupported kernel.
    if (do_command_shielded(format_text("(ls %s > /dev/null)\n", candidate.c_str())) != 0)
        return refuse_kernel(release);
    glob_t matches{};
    int rc = glob(candidate.c_str(), GLOB_NOSORT, nullptr, &matches);
    size_t count = rc == 0 ? matches.gl_pathc : 0;
    if (count == 1)
        *picked = matches.gl_pathv[0];
    globfree(&matches);
    if (count == 0)
        return refuse_kernel(release);
    if (count > 1)
        return stop_staging("%s prebuilt modules match %s; nothing was staged.\n", std::to_string(count), candidate);
    return FWUPG_OK;
}

// Copies the system's module into root's state directory; "" or why not.
std::string keep_system_module(int module_dirfd)
{
    std::string why;
    int state = open_state_dir(true, &why);
    if (state < 0)
        return why;
    int src = open_regular(module_dirfd, base_name(kernel_path).c_str());
    int err = src < 0 ? errno
                      : copy_checked(src, state, base_name(g_staged.backup_path).c_str(), true, g_staged.system_sha256,
                                     0600);
    if (src >= 0)
        close(src);
    close(state);
    return err == 0 ? "" : strerror(err);
}

// The staged module goes in by one rename onto the module's name, over the
// system's module if there is one, so that the name holds one complete
// module or the other at every moment. The record is on disk first, then
// the system's module is copied into root's state directory and synced.
int install_staged_module(int dirfd, int prebuilt_fd, const std::string& prebuilt, bool system_has_module)
{
    std::string why;
    if (!write_module_record(g_staged, &why))
        return stop_staging("The staging record cannot be written (%s); nothing was staged.\n", why);

    if (system_has_module) {
        why = keep_system_module(dirfd);
        if (!why.empty()) {
            remove_module_record(&why);
            return stop_staging("Could not keep a copy of the system's module %s as %s (%s); it stays in place and "
                                "nothing was staged.\n",
                                kernel_path, g_staged.backup_path, why);
        }
    }

    bool renamed = false;
    int err = copy_checked(prebuilt_fd, dirfd, base_name(kernel_path).c_str(), system_has_module,
                           g_staged.staged_sha256, 0644, nullptr, &renamed);
    if (renamed) {
        // In place even if a later step failed: the restore step undoes it.
        g_staging_state = StagingState::Staged;
        if (err == 0)
            return FWUPG_OK;
        return stop_staging("Could not complete the copy of %s into %s (%s).\n", prebuilt, kernel_path,
                            strerror(err));
    }
    if (system_has_module)
        remove_kept_module(g_staged);
    remove_module_record(&why);
    if (system_has_module)
        return stop_staging("Could not copy %s into %s (%s); the system's module stays in place and nothing was "
                            "staged.\n",
                            prebuilt, kernel_path, strerror(err));
    return stop_staging("Could not copy %s into %s (%s); nothing was staged.\n", prebuilt, kernel_path,
                        strerror(err));
}

// The picked module, opened once: checked (as root: owned by root or this
// user, writable by no one else) on the descriptor that is then copied.
int open_prebuilt(const std::string& prebuilt)
{
    int dirfd = open(g_IqvDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string why = dirfd < 0 ? format_text("cannot be opened (%s)", strerror(errno)) : "";
    int fd = dirfd < 0 ? -1 : open_checked_file(dirfd, base_name(prebuilt).c_str(), true, &why);
    if (dirfd >= 0)
        close(dirfd);
    if (fd < 0)
        stop_staging("The prebuilt module %s is refused: it %s; nothing was staged.\n", prebuilt, why);
    return fd;
}

int stage_module(const std::string& release, const char* tag)
{
    const std::string module_dir = parent_path(kernel_path);
    int dirfd = open(module_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        return stop_staging("Cannot open the module directory %s (%s); nothing was staged.\n", module_dir,
                            strerror(errno));
    if (!module_tree_locked()) {
        close(dirfd);
        return stop_staging(kTreeNotLocked, state_dir_path(), module_tree_lock_problem());
    }
    remove_stale_temporaries(dirfd);

    std::string system_sha;
    struct stat system_st {};
    Entry system = checksum_of(dirfd, base_name(kernel_path).c_str(), &system_sha, &system_st);
    int rc = FWUPG_OK;
    if (system == Entry::OTHER)
        rc = stop_staging("%s is not a regular file; it is left as it is and nothing was staged.\n", kernel_path);
    else if (system == Entry::UNREADABLE)
        rc = stop_staging("%s cannot be read; it is left as it is and nothing was staged.\n", kernel_path);
    if (rc == FWUPG_OK)
        warn_ignored_working_copy();

    std::string prebuilt;
    if (rc == FWUPG_OK) {
        char variant[VARIANT_SIZE];
        findvariant(release.c_str(), variant, sizeof variant);
        rc = pick_prebuilt(release, candidate_module_name(tag, release.c_str(), variant), &prebuilt);
    }
    int prebuilt_fd = rc == FWUPG_OK ? open_prebuilt(prebuilt) : -1;
    if (prebuilt_fd < 0)
        rc = FWUPG_ERR;
    std::string staged_sha;
    if (rc == FWUPG_OK && !checksum_of_descriptor(prebuilt_fd, &staged_sha))
        rc = stop_staging("The prebuilt module %s cannot be read; nothing was staged.\n", prebuilt);

    if (rc == FWUPG_OK) {
        // Staged all the same: only the kernel can tell for sure.
        const std::string refusal = module_load_refusal(prebuilt_fd);
        if (!refusal.empty()) {
            g_load_warning = format_text("The kernel %s and the flash driver %s carries no signature: the kernel "
                                         "will not load it, so the flash tool cannot reach the adapters.\n",
                                         refusal.c_str(), log_safe(prebuilt).c_str());
            log_dazed_event(dazed_fout, LOG_WARNING, g_load_warning.c_str(), 0);
        }
        const bool system_has_module = system == Entry::REGULAR;
        g_staged = ModuleRecord{};
        g_staged.release = release;
        g_staged.module_path = kernel_path;
        g_staged.backup_path = backup_path_for_release(release);
        g_staged.staged_sha256 = staged_sha;
        if (system_has_module) {
            g_staged.system_sha256 = system_sha;
            g_staged.system_mode = format_text("%o", static_cast<unsigned>(system_st.st_mode & 07777));
            g_staged.system_uid = std::to_string(system_st.st_uid);
            g_staged.system_gid = std::to_string(system_st.st_gid);
        }
        rc = install_staged_module(dirfd, prebuilt_fd, prebuilt, system_has_module);
    }
    if (prebuilt_fd >= 0)
        close(prebuilt_fd);
    close(dirfd);
    return rc;
}

} // namespace

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

std::string module_path_for_release(const std::string& release)
{
    return host_path(HOST_LIB_MODULES) + release + kModuleSubPath;
}

const char* distribution_tag()
{
    for (const Distribution& d : kDistributions) {
        if (can_open_for_reading(host_path(d.release_file).c_str()))
            return d.tag;
    }
    return nullptr;
}

void reset_staging_state()
{
    copy_bounded(kernel_path, sizeof kernel_path, HOST_LIB_MODULES);
    g_staging_state = StagingState::NotFormed;
    g_staged = ModuleRecord{};
    g_load_warning.clear();
    unlock_module_tree();
}

const std::string& staging_load_warning()
{
    return g_load_warning;
}

int update_iqv_driver()
{
    CriticalSection guard;

    std::string release;
    if (g_host.kernel_release == nullptr || g_host.kernel_release(&release) != 0) {
        log_event_f(LOG_ERROR, 1, kNoKernelVersion);
        return FWUPG_ERR;
    }
    // The release goes unquoted into a shell command line (the candidate's
    // "*" must stay a wildcard).
    if (!release_is_shell_safe(release))
        return refuse_kernel(release);

    const std::string modules_dir = host_path(HOST_LIB_MODULES) + release;
    const std::string module_path = module_path_for_release(release);
    // A path that does not fit is refused rather than cut into another path.
    if (module_path.size() >= sizeof kernel_path)
        return refuse_kernel(release);
    copy_bounded(kernel_path, sizeof kernel_path, modules_dir.c_str());

    // Nothing in the tree moves without the lock. Normally taken before the
    // log was opened; whoever holds it now came in between.
    TreeLock lock = lock_module_tree();
    if (lock == TreeLock::BUSY)
        return stop_staging(kTreeNotLocked, state_dir_path(), module_tree_lock_problem());
    if (lock == TreeLock::HELD && !recover_interrupted_run())
        return FWUPG_ERR;
    // The module is safe now: what a killed run left half written goes.
    remove_working_temporaries();

    const char* tag = distribution_tag();

    if (tag == nullptr) {
        // kernel_path names the modules directory here; nothing may act on it.
        log_event_f(LOG_WARNING, 0, kNoReleaseFile);
        return FWUPG_OK;
    }
    copy_bounded(kernel_path, sizeof kernel_path, module_path.c_str());
    return stage_module(release, tag);
}
