#include "driver/staging.h"

#include "app/event_log.h"
#include "driver/staging_state.h"
#include "lib/critical_section.h"
#include "lib/durable_file.h"
#include "lib/module_files.h"
#include "lib/return_codes.h"

#include <fcntl.h>
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

// Puts the system's module back from the backup that the record names and
// removes the backup and the record. Logs and gives false when it cannot;
// the record then stays for a later run.
bool put_back_system_module(const ModuleRecord& record)
{
    int dirfd = open_parent(record.module_path);
    int err = dirfd < 0 ? errno : 0;
    if (err == 0) {
        // Copied, never moved: the backup stays whole until the module is
        // back under its name.
        std::string backup_sha;
        mode_t mode = 0644;
        if (checksum_of(AT_FDCWD, record.backup_path.c_str(), &backup_sha, &mode) != Entry::REGULAR ||
            backup_sha != record.system_sha256)
            err = EILSEQ;
        else
            err = copy_checked(record.backup_path.c_str(), dirfd, base_name(record.module_path).c_str(), true,
                               record.system_sha256, mode);
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
                    record.module_path.c_str(), strerror(err), record.backup_path.c_str(),
                    module_record_path().c_str());
        return false;
    }

    int backup_dir = open_parent(record.backup_path);
    bool removed = backup_dir >= 0 && remove_durably(backup_dir, base_name(record.backup_path).c_str());
    if (backup_dir >= 0)
        close(backup_dir);
    if (!removed) {
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
                    "staged.\n",
                    module_record_path().c_str(), why.c_str());
        return false;
    case RecordRead::READ:
        break;
    }

    if (record.system_sha256.empty()) {
        log_event_f(LOG_INFO, 0, "An interrupted run had staged %s, where the system has no module; it is "
                    "removed.\n", record.module_path.c_str());
        return remove_staged_module(record);
    }

    int dirfd = open_parent(record.module_path);
    std::string module_sha, backup_sha;
    Entry module = dirfd >= 0 ? checksum_of(dirfd, base_name(record.module_path).c_str(), &module_sha)
                              : Entry::UNREADABLE;
    if (dirfd >= 0)
        close(dirfd);
    Entry backup = checksum_of(AT_FDCWD, record.backup_path.c_str(), &backup_sha);
    const bool backup_intact = backup == Entry::REGULAR && backup_sha == record.system_sha256;

    if (module == Entry::REGULAR && module_sha == record.system_sha256) {
        log_event_f(LOG_INFO, 0, "The system's module %s is in place after an interrupted run.\n",
                    record.module_path.c_str());
        int backup_dir = backup_intact ? open_parent(record.backup_path) : -1;
        bool removed = !backup_intact ||
                       (backup_dir >= 0 && remove_durably(backup_dir, base_name(record.backup_path).c_str()));
        if (backup_dir >= 0)
            close(backup_dir);
        if (removed)
            forget_record();
        return removed;
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
