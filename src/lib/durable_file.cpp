#include "lib/durable_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string parent_path(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool write_all(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

bool fsync_directory(int dirfd)
{
    // Some file systems cannot sync a directory; they order their updates
    // themselves.
    return fsync(dirfd) == 0 || errno == EINVAL;
}

} // namespace

bool remove_durably(int dirfd, const char* name)
{
    if (unlinkat(dirfd, name, 0) != 0 && errno != ENOENT)
        return false;
    return fsync_directory(dirfd);
}

namespace {

const char kTemporaryPrefix[] = ".dazed-";
const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr size_t kTemporaryRandom = 6;

bool is_temporary_name(const char* name)
{
    const size_t prefix = sizeof kTemporaryPrefix - 1;
    if (strncmp(name, kTemporaryPrefix, prefix) != 0 || strlen(name) != prefix + kTemporaryRandom)
        return false;
    for (const char* p = name + prefix; *p != '\0'; ++p) {
        if (strchr(kChars, *p) == nullptr)
            return false;
    }
    return true;
}

// ".dazed-" and six random characters: short enough beside any name.
std::string temporary_name()
{
    unsigned char random[kTemporaryRandom] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        static unsigned counter = 0;
        unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + ++counter;
        for (unsigned char& c : random) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<unsigned char>(seed >> 16);
        }
    }
    std::string name = kTemporaryPrefix;
    for (unsigned char c : random)
        name.push_back(kChars[c % (sizeof kChars - 1)]);
    return name;
}

} // namespace

PendingFile::PendingFile(int dirfd, mode_t mode) : dirfd_(dirfd), mode_(mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporary_name();
        fd_ = openat(dirfd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            name_ = name;
            break;
        }
        if (errno != EEXIST) {
            errno_ = errno;
            return;
        }
    }
    if (fd_ < 0) {
        errno_ = EEXIST;
        return;
    }
    // Marks the file as in use; a killed run's lock goes with it. Where
    // the file system takes no locks the cleaner cannot lock it either, and
    // leaves it.
    flock(fd_, LOCK_EX | LOCK_NB);
    // The mode given at creation is cut by the umask; the one asked for is set.
    if (fchmod(fd_, mode) != 0)
        fail();
}

PendingFile::~PendingFile()
{
    if (fd_ >= 0)
        close(fd_);
    if (!name_.empty() && !committed_)
        unlinkat(dirfd_, name_.c_str(), 0);
}

bool PendingFile::fail()
{
    if (errno_ == 0)
        errno_ = errno != 0 ? errno : EIO;
    return false;
}

bool PendingFile::write(const void* data, size_t size)
{
    if (fd_ < 0 || errno_ != 0)
        return fail();
    return write_all(fd_, data, size) || fail();
}

bool PendingFile::set_owner(uid_t uid, gid_t gid)
{
    if (fd_ < 0 || errno_ != 0)
        return fail();
    // A change of owner drops set-ID bits; the mode asked for is set again.
    return (fchown(fd_, uid, gid) == 0 && fchmod(fd_, mode_) == 0) || fail();
}

bool PendingFile::commit(const char* name, bool replace)
{
    if (fd_ < 0 || errno_ != 0)
        return fail();
    if (fsync(fd_) != 0)
        return fail();
    int rc = close(fd_);
    fd_ = -1;
    if (rc != 0)
        return fail();
    if (replace) {
        if (renameat(dirfd_, name_.c_str(), dirfd_, name) != 0)
            return fail();
    } else {
        // A second name first, then the temporary one goes: nothing that
        // appeared under the final name meanwhile is overwritten.
        if (linkat(dirfd_, name_.c_str(), dirfd_, name, 0) != 0)
            return fail();
        unlinkat(dirfd_, name_.c_str(), 0);  // a leftover temporary name harms nothing
    }
    committed_ = true;
    return fsync_directory(dirfd_) || fail();
}

int remove_stale_temporaries(int dirfd)
{
    int listed = dup(dirfd);
    DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
    if (dir == nullptr) {
        if (listed >= 0)
            close(listed);
        return 0;
    }
    int removed = 0;
    while (const struct dirent* entry = readdir(dir)) {
        if (!is_temporary_name(entry->d_name))
            continue;
        int fd = openat(dirfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // One whose lock is held belongs to a living run.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            unlinkat(dirfd, entry->d_name, 0) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    if (removed > 0)
        fsync_directory(dirfd);
    return removed;
}
