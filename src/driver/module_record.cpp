#include "driver/module_record.h"

#include "driver/staging_state.h"
#include "lib/bounded_file.h"
#include "lib/bounded_text.h"
#include "lib/durable_file.h"
#include "lib/host_seam.h"
#include "lib/trusted_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const char kRecordName[] = "staged-module";
const char kRetiredPrefix[] = "retired-";
// The first format kept the backup in the working directory and knew
// nothing of the module's mode and owner.
const char kFormatLine[] = "dazed-fug staged module record 2";
const char kFirstFormatLine[] = "dazed-fug staged module record 1";
constexpr size_t kMaxRecordBytes = 64 * 1024;

struct Field {
    const char* key;
    std::string ModuleRecord::*value;
    bool since_second_format;
};

const Field kFields[] = {
    {"release", &ModuleRecord::release, false},
    {"module", &ModuleRecord::module_path, false},
    {"backup", &ModuleRecord::backup_path, false},
    {"system_sha256", &ModuleRecord::system_sha256, false},
    {"staged_sha256", &ModuleRecord::staged_sha256, false},
    {"system_mode", &ModuleRecord::system_mode, true},
    {"system_uid", &ModuleRecord::system_uid, true},
    {"system_gid", &ModuleRecord::system_gid, true},
};
constexpr size_t kFieldCount = sizeof kFields / sizeof kFields[0];

bool is_sha256_text(const std::string& text)
{
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// Digits of the base only, and a value of at most max.
bool is_number_text(const std::string& text, int base, unsigned long max)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (char c : text) {
        if (c < '0' || c > (base == 8 ? '7' : '9'))
            return false;
    }
    return strtoul(text.c_str(), nullptr, base) <= max;
}

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A record names only what this program stages: the module file of a
// release in the module tree, and the backup where this program keeps it.
std::string record_problem(const ModuleRecord& r)
{
    if (!release_is_shell_safe(r.release) || r.module_path != module_path_for_release(r.release))
        return "it names a module path that is never staged";
    if (r.backup_in_state_dir ? r.backup_path != backup_path_for_release(r.release)
                              : r.backup_path.empty() || r.backup_path[0] != '/' ||
                                    !ends_with(r.backup_path, std::string("/") + g_BackupModule))
        return "it names no backup of this program";
    if ((!r.system_sha256.empty() && !is_sha256_text(r.system_sha256)) || !is_sha256_text(r.staged_sha256))
        return "its checksums are malformed";
    // (uid_t)-1 would leave the owner as it is.
    if (!is_number_text(r.system_mode, 8, 07777) || !is_number_text(r.system_uid, 10, UINT_MAX - 1) ||
        !is_number_text(r.system_gid, 10, UINT_MAX - 1))
        return "its mode or owner is malformed";
    return "";
}

bool parse_record(const std::string& text, ModuleRecord* record)
{
    size_t at = 0;
    int format = 0;
    unsigned seen = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;  // a record always ends with a line end
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (format == 0) {
            format = line == kFormatLine ? 2 : line == kFirstFormatLine ? 1 : -1;
            if (format < 0)
                return false;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return false;
        bool known = false;
        for (size_t i = 0; i < kFieldCount; ++i) {
            if (line.compare(0, eq, kFields[i].key) != 0 || strlen(kFields[i].key) != eq)
                continue;
            if ((seen & (1u << i)) || (format == 1 && kFields[i].since_second_format))
                return false;
            seen |= 1u << i;
            record->*(kFields[i].value) = line.substr(eq + 1);
            known = true;
        }
        if (!known)
            return false;
    }
    unsigned wanted = 0;
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (format == 2 || !kFields[i].since_second_format)
            wanted |= 1u << i;
    }
    record->backup_in_state_dir = format == 2;
    return format > 0 && seen == wanted;
}

std::string record_text(const ModuleRecord& record, std::string* why)
{
    std::string text = std::string(kFormatLine) + "\n";
    for (const Field& field : kFields) {
        const std::string& value = record.*(field.value);
        // A line end would end the value early on reading.
        if (value.find('\n') != std::string::npos) {
            *why = format_text("its %s contains a line end", field.key);
            return "";
        }
        text += std::string(field.key) + "=" + value + "\n";
    }
    return text;
}

bool write_record_as(const ModuleRecord& record, const char* name, std::string* why)
{
    const std::string text = record_text(record, why);
    if (text.empty())
        return false;
    int dirfd = open_state_dir(true, why);
    if (dirfd < 0)
        return false;
    bool written;
    int err;
    {
        PendingFile file(dirfd, 0600);
        written = file.write(text.data(), text.size()) && file.commit(name, true);
        err = file.errno_value();
    }
    close(dirfd);
    if (!written)
        *why = format_text("cannot write %s/%s: %s", state_dir_path().c_str(), name, strerror(err));
    return written;
}

} // namespace

mode_t ModuleRecord::mode() const
{
    return static_cast<mode_t>(strtoul(system_mode.c_str(), nullptr, 8));
}

uid_t ModuleRecord::uid() const
{
    return static_cast<uid_t>(strtoul(system_uid.c_str(), nullptr, 10));
}

gid_t ModuleRecord::gid() const
{
    return static_cast<gid_t>(strtoul(system_gid.c_str(), nullptr, 10));
}

std::string state_dir_path()
{
    return host_path(HOST_STATE_DIR);
}

std::string module_record_path()
{
    return state_dir_path() + "/" + kRecordName;
}

std::string backup_path_for_release(const std::string& release)
{
    return state_dir_path() + "/durivozo-" + release + ".ko";
}

int open_state_dir(bool create, std::string* why)
{
    const std::string dir = state_dir_path();
    if (create && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        *why = format_text("cannot make %s: %s", dir.c_str(), strerror(errno));
        return -1;
    }
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *why = format_text("cannot open %s: %s", dir.c_str(), strerror(errno));
        return -1;
    }
    struct stat st {};
    std::string untrusted = fstat(fd, &st) == 0 ? untrusted_because(st) : strerror(errno);
    // Nobody else may even open it: the run lock is taken on it.
    if (untrusted.empty() && create && (st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0)
        untrusted = format_text("open to others and cannot be narrowed (%s)", strerror(errno));
    if (!untrusted.empty()) {
        close(fd);
        *why = dir + " is " + untrusted;
        return -1;
    }
    return fd;
}

RecordRead read_module_record(ModuleRecord* record, std::string* why)
{
    struct stat st {};
    if (lstat(module_record_path().c_str(), &st) != 0 && errno == ENOENT &&
        lstat(state_dir_path().c_str(), &st) != 0 && errno == ENOENT)
        return RecordRead::NONE;
    int dirfd = open_state_dir(false, why);
    if (dirfd < 0)
        return RecordRead::UNUSABLE;
    std::string text;
    const FileRead read = read_bounded_file(dirfd, kRecordName, kMaxRecordBytes, true, &text, why);
    close(dirfd);
    switch (read) {
    case FileRead::ABSENT:
        return RecordRead::NONE;
    case FileRead::REFUSED:
        *why = "it is " + *why;
        return RecordRead::UNUSABLE;
    case FileRead::UNREADABLE:
        return RecordRead::UNUSABLE;
    case FileRead::READ:
        break;
    }
    ModuleRecord parsed;
    if (!parse_record(text, &parsed)) {
        *why = "it is malformed";
        return RecordRead::UNUSABLE;
    }
    *why = record_problem(parsed);
    if (!why->empty())
        return RecordRead::UNUSABLE;
    *record = parsed;
    return RecordRead::READ;
}

bool write_module_record(const ModuleRecord& record, std::string* why)
{
    return write_record_as(record, kRecordName, why);
}

bool remove_module_record(std::string* why)
{
    int dirfd = open_state_dir(false, why);
    if (dirfd < 0)
        return false;
    bool removed = remove_durably(dirfd, kRecordName);
    if (!removed)
        *why = format_text("cannot remove %s: %s", module_record_path().c_str(), strerror(errno));
    close(dirfd);
    return removed;
}

bool remove_kept_module(const ModuleRecord& record)
{
    std::string why;
    int dirfd = open_state_dir(false, &why);
    bool removed = dirfd >= 0 && remove_durably(dirfd, base_name(record.backup_path).c_str());
    if (dirfd >= 0)
        close(dirfd);
    return removed;
}

std::string retire_module_record(const ModuleRecord& record, const std::string& where_kept, std::string* why)
{
    ModuleRecord retired = record;
    retired.backup_path = where_kept;
    const std::string name = kRetiredPrefix + record.release;
    // Written whole before the record goes: a crash in between retires it again.
    if (!write_record_as(retired, name.c_str(), why) || !remove_module_record(why))
        return "";
    return state_dir_path() + "/" + name;
}
