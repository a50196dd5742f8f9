#include "driver/module_record.h"

#include "driver/staging_state.h"
#include "lib/bounded_text.h"
#include "lib/durable_file.h"
#include "lib/host_seam.h"
#include "lib/trusted_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char kRecordName[] = "staged-module";
const char kFormatLine[] = "dazed-fug staged module record 1";
constexpr size_t kMaxRecordBytes = 64 * 1024;

struct Field {
    const char* key;
    std::string ModuleRecord::*value;
};

const Field kFields[] = {
    {"release", &ModuleRecord::release},
    {"module", &ModuleRecord::module_path},
    {"backup", &ModuleRecord::backup_path},
    {"system_sha256", &ModuleRecord::system_sha256},
    {"staged_sha256", &ModuleRecord::staged_sha256},
};

std::string state_dir()
{
    return host_path(HOST_STATE_DIR);
}

// The record's directory, opened only when root (or this user) alone can
// change it; -1 with why set otherwise.
int open_state_dir(bool create, std::string* why)
{
    const std::string dir = state_dir();
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
    if (!untrusted.empty()) {
        close(fd);
        *why = dir + " is " + untrusted;
        return -1;
    }
    return fd;
}

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

// A record names only what this program stages: the module file of a
// release in the module tree, and a backup named durivozo.ko.
std::string record_problem(const ModuleRecord& r)
{
    if (!release_is_shell_safe(r.release) || r.module_path != module_path_for_release(r.release))
        return "it names a module path that is never staged";
    const std::string suffix = std::string("/") + g_BackupModule;
    if (r.backup_path.empty() || r.backup_path[0] != '/' || r.backup_path.size() <= suffix.size() ||
        r.backup_path.compare(r.backup_path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return "it names no backup";
    if ((!r.system_sha256.empty() && !is_sha256_text(r.system_sha256)) || !is_sha256_text(r.staged_sha256))
        return "its checksums are malformed";
    return "";
}

bool parse_record(const std::string& text, ModuleRecord* record)
{
    size_t at = 0;
    bool format_seen = false;
    unsigned seen = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;  // a record always ends with a line end
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!format_seen) {
            if (line != kFormatLine)
                return false;
            format_seen = true;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return false;
        bool known = false;
        for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; ++i) {
            if (line.compare(0, eq, kFields[i].key) == 0 && strlen(kFields[i].key) == eq) {
                if (seen & (1u << i))
                    return false;
                seen |= 1u << i;
                record->*(kFields[i].value) = line.substr(eq + 1);
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return format_seen && seen == (1u << (sizeof kFields / sizeof kFields[0])) - 1;
}

} // namespace

std::string module_record_path()
{
    return state_dir() + "/" + kRecordName;
}

RecordRead read_module_record(ModuleRecord* record, std::string* why)
{
    struct stat st {};
    if (lstat(module_record_path().c_str(), &st) != 0 && errno == ENOENT &&
        lstat(state_dir().c_str(), &st) != 0 && errno == ENOENT)
        return RecordRead::NONE;
    int dirfd = open_state_dir(false, why);
    if (dirfd < 0)
        return RecordRead::UNUSABLE;
    int fd = openat(dirfd, kRecordName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    int open_errno = errno;
    close(dirfd);
    if (fd < 0) {
        if (open_errno == ENOENT)
            return RecordRead::NONE;
        *why = strerror(open_errno);
        return RecordRead::UNUSABLE;
    }
    std::string text;
    std::string untrusted = fstat(fd, &st) == 0 ? untrusted_because(st) : strerror(errno);
    if (untrusted.empty() && !S_ISREG(st.st_mode))
        untrusted = "not a regular file";
    if (untrusted.empty()) {
        text.resize(kMaxRecordBytes + 1);
        ssize_t n;
        do {
            n = read(fd, &text[0], text.size());
        } while (n < 0 && errno == EINTR);
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        if (n < 0)
            untrusted = strerror(errno);
    }
    close(fd);
    if (!untrusted.empty()) {
        *why = "it is " + untrusted;
        return RecordRead::UNUSABLE;
    }
    ModuleRecord parsed;
    if (text.size() > kMaxRecordBytes || !parse_record(text, &parsed)) {
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
    std::string text = std::string(kFormatLine) + "\n";
    for (const Field& field : kFields) {
        const std::string& value = record.*(field.value);
        // A line end would end the value early on reading.
        if (value.find('\n') != std::string::npos) {
            *why = format_text("its %s contains a line end", field.key);
            return false;
        }
        text += std::string(field.key) + "=" + value + "\n";
    }
    int dirfd = open_state_dir(true, why);
    if (dirfd < 0)
        return false;
    bool written;
    int err;
    {
        PendingFile file(dirfd, 0600);
        written = file.write(text.data(), text.size()) && file.commit(kRecordName, true);
        err = file.errno_value();
    }
    close(dirfd);
    if (!written)
        *why = format_text("cannot write %s: %s", module_record_path().c_str(), strerror(err));
    return written;
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
