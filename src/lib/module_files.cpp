#include "lib/module_files.h"

#include "lib/durable_file.h"
#include "lib/sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Opens a regular file without following a symlink at it; -1 otherwise,
// with errno EISDIR-like codes folded into ENOTSUP for "not a file".
int open_regular(int dirfd, const char* name, mode_t* mode)
{
    int fd = openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = ENOTSUP;
        return -1;
    }
    if (mode != nullptr)
        *mode = st.st_mode & 0777;
    return fd;
}

template <typename Sink>
bool read_through(int fd, Sha256& sha, Sink sink)
{
    char buf[64 * 1024];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        sha.update(buf, static_cast<size_t>(n));
        if (!sink(buf, static_cast<size_t>(n)))
            return false;
    }
}

} // namespace

bool can_open_for_reading(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

Entry checksum_of(int dirfd, const char* name, std::string* sha256, mode_t* mode)
{
    struct stat st {};
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Entry::ABSENT : Entry::UNREADABLE;
    if (!S_ISREG(st.st_mode))
        return Entry::OTHER;
    int fd = open_regular(dirfd, name, mode);
    if (fd < 0)
        return errno == ENOENT ? Entry::ABSENT : (errno == ENOTSUP || errno == ELOOP) ? Entry::OTHER
                                                                                        : Entry::UNREADABLE;
    Sha256 sha;
    bool ok = read_through(fd, sha, [](const char*, size_t) { return true; });
    close(fd);
    if (!ok)
        return Entry::UNREADABLE;
    *sha256 = sha.hex_digest();
    return Entry::REGULAR;
}

int copy_checked(const char* src, int dirfd, const char* name, bool replace, const std::string& expected_sha256,
                 mode_t mode, bool* renamed)
{
    if (renamed != nullptr)
        *renamed = false;
    int in = open_regular(AT_FDCWD, src, nullptr);
    if (in < 0)
        return errno != 0 ? errno : EIO;
    PendingFile copy(dirfd, mode);
    if (!copy.created()) {
        close(in);
        return copy.errno_value();
    }
    Sha256 sha;
    bool read_ok = read_through(in, sha, [&](const char* data, size_t size) { return copy.write(data, size); });
    int read_errno = errno;
    close(in);
    if (!read_ok)
        return copy.errno_value() != 0 ? copy.errno_value() : read_errno;
    // The source changed since it was recorded: this copy is not the file
    // the record vouches for.
    if (sha.hex_digest() != expected_sha256)
        return EILSEQ;
    bool committed = copy.commit(name, replace);
    if (renamed != nullptr)
        *renamed = copy.renamed();
    return committed ? 0 : copy.errno_value();
}
