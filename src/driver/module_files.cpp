#include "driver/module_files.h"

#include "lib/durable_file.h"
#include "lib/sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Reads the whole file from its start, whatever its offset, into the digest
// and the sink.
template <typename Sink>
bool read_through(int fd, Sha256& sha, Sink sink)
{
    char buf[64 * 1024];
    off_t at = 0;
    for (;;) {
        ssize_t n = pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        at += n;
        sha.update(buf, static_cast<size_t>(n));
        if (!sink(buf, static_cast<size_t>(n)))
            return false;
    }
}

} // namespace

int open_regular(int dirfd, const char* name, struct stat* st)
{
    int fd = openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat own {};
    if (fstat(fd, &own) != 0 || !S_ISREG(own.st_mode)) {
        close(fd);
        errno = ENOTSUP;
        return -1;
    }
    if (st != nullptr)
        *st = own;
    return fd;
}

bool can_open_for_reading(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

Entry checksum_of(int dirfd, const char* name, std::string* sha256, struct stat* status)
{
    struct stat st {};
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Entry::ABSENT : Entry::UNREADABLE;
    if (!S_ISREG(st.st_mode))
        return Entry::OTHER;
    int fd = open_regular(dirfd, name, status);
    if (fd < 0)
        return errno == ENOENT ? Entry::ABSENT : (errno == ENOTSUP || errno == ELOOP) ? Entry::OTHER
                                                                                        : Entry::UNREADABLE;
    bool ok = checksum_of_descriptor(fd, sha256);
    close(fd);
    return ok ? Entry::REGULAR : Entry::UNREADABLE;
}

bool checksum_of_descriptor(int fd, std::string* sha256)
{
    Sha256 sha;
    if (!read_through(fd, sha, [](const char*, size_t) { return true; }))
        return false;
    *sha256 = sha.hex_digest();
    return true;
}

int copy_checked(int src, int dirfd, const char* name, bool replace, const std::string& expected_sha256,
                 mode_t mode, const FileOwner* owner, bool* renamed)
{
    if (renamed != nullptr)
        *renamed = false;
    PendingFile copy(dirfd, mode);
    if (!copy.created())
        return copy.errno_value();
    if (owner != nullptr && !copy.set_owner(owner->uid, owner->gid))
        return copy.errno_value();
    Sha256 sha;
    bool read_ok = read_through(src, sha, [&](const char* data, size_t size) { return copy.write(data, size); });
    if (!read_ok)
        return copy.errno_value() != 0 ? copy.errno_value() : (errno != 0 ? errno : EIO);
    // The source is not the file the record vouches for (it changed, or it
    // is another file): this copy never takes the name.
    if (sha.hex_digest() != expected_sha256)
        return EILSEQ;
    bool committed = copy.commit(name, replace);
    if (renamed != nullptr)
        *renamed = copy.renamed();
    return committed ? 0 : copy.errno_value();
}
