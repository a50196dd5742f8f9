#include "driver/staging.h"

#include "driver/module_files.h"
#include "driver/staging_state.h"
#include "lib/critical_section.h"
#include "lib/durable_file.h"
#include "lib/host_seam.h"
#include "lib/return_codes.h"
#include "lib/trusted_directory.h"
#include "log/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Opens the directory of a path; -1 (errno set) when it cannot.
int open_parent(const std::string& path)
{
    return open(parent_path(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The record goes last: until then a later run can still finish the job.
void forget_record()
{
    std::string why;
    if (!remove_module_record(&why))
        log_event_f(LOG_WARNING, 0, "The staging record could not be removed (%s); the next run checks it again.\n",
                    why.c_str());
}

// The copy of the system's module that the record names, opened for
// reading: in root's state directory, checked on the descriptor. A record of
// the first format names one in a working directory, which is used only for
// what its checksum proves and never removed.
int open_backup(const ModuleRecord& record)
{
    if (!record.backup_in_state_dir)
        return open_regular(AT_FDCWD, record.backup_path.c_str());
    std::string why;
    int state = open_state_dir(false, &why);
    if (state < 0)
        return -1;
    int fd = open_checked_file(state, base_name(record.backup_path).c_str(), false, &why);
    close(state);
    return fd;
}

bool backup_is_intact(const ModuleRecord& record)
{
    int fd = open_backup(record);
    std::string sha;
    const bool intact = fd >= 0 && checksum_of_descriptor(fd, &sha) && sha == record.system_sha256;
    if (fd >= 0)
        close(fd);
    return intact;
}

// Removes the kept copy once the module is back; false when it stays.
bool remove_backup(const ModuleRecord& record)
{
    if (!record.backup_in_state_dir) {
        log_event_f(LOG_WARNING, 0, "The system's module is back; its earlier copy %s is left as it is.\n",
                    log_safe(record.backup_path).c_str());
        return true;
    }
    return remove_kept_module(record);
}

// Puts the system's module back from its kept copy, with the mode, owner
// and group the record holds (never the copy's own), then removes the copy
// and the record. Logs and gives false when it cannot; the record then
// stays for a later run.
bool put_back_system_module(const ModuleRecord& record)
{
    int dirfd = open_parent(record.module_path);
    int err = dirfd < 0 ? errno : 0;
    if (err == 0) {
        // Copied, never moved: the copy stays whole until the module is
        // back under its name.
        int backup = open_backup(record);
        const FileOwner owner{record.uid(), record.gid()};
        err = backup < 0 ? EILSEQ
                         : copy_checked(backup, dirfd, base_name(record.module_path).c_str(), true,
                                        record.system_sha256, record.mode(), running_as_root() ? &owner : nullptr);
        if (backup >= 0)
            close(backup);
        close(dirfd);
    }
    if (err == EILSEQ) {
        log_event_f(LOG_ERROR, 1, "The backup %s is not the system's module that %s records; %s is left as it is "
                    "and the record is kept.\n",
                    log_safe(record.backup_path).c_str(), module_record_path().c_str(), record.module_path.c_str());
        return false;
    }
    if (err != 0) {
        log_event_f(LOG_ERROR, 1, "Could not put the system's module back into %s (%s); it is intact at %s, and "
                    "the record %s is kept so that the next run puts it back.\n",
                    record.module_path.c_str(), strerror(err), log_safe(record.backup_path).c_str(),
                    module_record_path().c_str());
        return false;
    }
    if (!remove_backup(record)) {
        // The module is back; the record stays so that the copy left aside
        // is still accounted for.
        log_event_f(LOG_WARNING, 0, "The system's module is back in %s, but its copy %s could not be removed (%s).\n",
                    record.module_path.c_str(), log_safe(record.backup_path).c_str(), strerror(errno));
        return true;
    }
    forget_record();
    return true;
}

// Removes the staged module (when the system had none) and the record.
bool remove_staged_module(const ModuleRecord& record)
{
    int dirfd = open_parent(record.module_path);
    if (dirfd < 0) {
        log_event_f(LOG_ERROR, 1, "Cannot open %s (%s); the staged module stays in place and the record is kept.\n",
                    parent_path(record.module_path).c_str(), strerror(errno));
        return false;
    }
    const std::string name = base_name(record.module_path);
    std::string sha;
    Entry entry = checksum_of(dirfd, name.c_str(), &sha);
    bool ok = true;
    if (entry == Entry::REGULAR && sha == record.staged_sha256) {
        if (!remove_durably(dirfd, name.c_str())) {
            log_event_f(LOG_ERROR, 1, "Could not remove the staged module %s (%s); the record is kept.\n",
                        record.module_path.c_str(), strerror(errno));
            ok = false;
        }
    } else if (entry != Entry::ABSENT) {
        // Someone else put a module there meanwhile; it is theirs.
        log_event_f(LOG_WARNING, 0, "%s is not the module this program staged; it is left as it is.\n",
                    record.module_path.c_str());
    }
    close(dirfd);
    if (ok)
        forget_record();
    return ok;
}

// A record whose kernel's module tree is gone can never be acted on: it is
// moved aside with the kept copy of that kernel's module, and the run goes on.
bool retire_record(const ModuleRecord& record)
{
    std::string kept;
    if (!record.system_sha256.empty() && record.backup_in_state_dir) {
        const std::string retired = state_dir_path() + "/retired-" + record.release + ".ko";
        std::string sha;
        if (rename(record.backup_path.c_str(), retired.c_str()) == 0 || errno == ENOENT)
            kept = checksum_of(AT_FDCWD, retired.c_str(), &sha) == Entry::REGULAR && sha == record.system_sha256
                       ? retired
                       : "";
    } else if (!record.system_sha256.empty() && backup_is_intact(record)) {
        kept = record.backup_path;
    }
    std::string why;
    const std::string moved = retire_module_record(record, kept, &why);
    if (moved.empty()) {
        log_event_f(LOG_ERROR, 1, "The staging record %s names the kernel %s, whose module tree %s is gone, but it "
                    "cannot be moved aside (%s); nothing was staged.\n",
                    module_record_path().c_str(), log_safe(record.release).c_str(),
                    (host_path(HOST_LIB_MODULES) + record.release).c_str(), why.c_str());
        return false;
    }
    const std::string where = record.system_sha256.empty() ? "that kernel had no module of its own"
                              : kept.empty() ? "no intact copy of that kernel's own module was found"
                                             : "that kernel's own module is kept as " + log_safe(kept);
    log_event_f(LOG_WARNING, 0, "The staging record of an earlier run names the kernel %s, whose module tree %s is "
                "gone; the record is moved aside as %s, and %s.\n",
                log_safe(record.release).c_str(), (host_path(HOST_LIB_MODULES) + record.release).c_str(),
                moved.c_str(), where.c_str());
    return true;
}

bool recover_from(const ModuleRecord& record)
{
    struct stat st {};
    if (lstat((host_path(HOST_LIB_MODULES) + record.release).c_str(), &st) != 0 && errno == ENOENT)
        return retire_record(record);

    if (record.system_sha256.empty()) {
        log_event_f(LOG_INFO, 0, "An interrupted run had staged %s, where the system has no module; it is "
                    "removed.\n", record.module_path.c_str());
        return remove_staged_module(record);
    }

    int dirfd = open_parent(record.module_path);
    std::string module_sha;
    Entry module = dirfd >= 0 ? checksum_of(dirfd, base_name(record.module_path).c_str(), &module_sha)
                              : Entry::UNREADABLE;
    if (dirfd >= 0)
        close(dirfd);
    const bool backup_intact = backup_is_intact(record);

    if (module == Entry::REGULAR && module_sha == record.system_sha256) {
        log_event_f(LOG_INFO, 0, "The system's module %s is in place after an interrupted run.\n",
                    record.module_path.c_str());
        if (backup_intact && !remove_backup(record))
            return false;
        forget_record();
        return true;
    }
    if (backup_intact && (module == Entry::ABSENT || (module == Entry::REGULAR && module_sha == record.staged_sha256))) {
        log_event_f(LOG_INFO, 0, "An interrupted run left the system's module at %s; it is put back into %s.\n",
                    log_safe(record.backup_path).c_str(), record.module_path.c_str());
        return put_back_system_module(record);
    }
    if (backup_intact)
        log_event_f(LOG_ERROR, 1, "After an interrupted run %s holds a module this program did not stage; the "
                    "system's module is intact at %s. Nothing was staged and the record %s is kept.\n",
                    record.module_path.c_str(), log_safe(record.backup_path).c_str(), module_record_path().c_str());
    else
        log_event_f(LOG_ERROR, 1, "After an interrupted run the system's module (SHA-256 %s) is neither at %s nor "
                    "at %s. Nothing was staged and the record %s is kept.\n",
                    record.system_sha256.c_str(), record.module_path.c_str(), log_safe(record.backup_path).c_str(),
                    module_record_path().c_str());
    return false;
}

} // namespace

bool recover_interrupted_run()
{
    ModuleRecord record;
    std::string why;
    switch (read_module_record(&record, &why)) {
    case RecordRead::NONE:
        return true;
    case RecordRead::UNUSABLE:
        log_event_f(LOG_ERROR, 1, "The staging record %s of an earlier run cannot be used (%s); nothing was "
                    "staged. This program keeps the system's module of a staged kernel in %s as "
                    "durivozo-<release>.ko.\n",
                    module_record_path().c_str(), why.c_str(), state_dir_path().c_str());
        return false;
    case RecordRead::READ:
        break;
    }
    const bool recovered = recover_from(record);
    // What the interrupted run left half written in that module directory.
    int dirfd = recovered ? open_parent(record.module_path) : -1;
    if (dirfd >= 0) {
        remove_stale_temporaries(dirfd);
        close(dirfd);
    }
    return recovered;
}

int restore_iqv_driver()
{
    if (g_staging_state != StagingState::Staged)
        return FWUPG_OK;
    CriticalSection guard;
    g_staging_state = StagingState::Restored;
    const bool restored = g_staged.system_sha256.empty() ? remove_staged_module(g_staged)
                                                         : put_back_system_module(g_staged);
    return restored ? FWUPG_OK : FWUPG_ERR;
}
