#include "lib/bounded_file.h"

#include "lib/bounded_text.h"
#include "lib/trusted_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

FileRead refused(std::string* why, const std::string& what)
{
    *why = what;
    return FileRead::REFUSED;
}

FileRead failed(std::string* why, int err)
{
    if (err == ENOENT)
        return FileRead::ABSENT;
    if (err == ELOOP)
        return refused(why, "a symbolic link");
    *why = strerror(err);
    return FileRead::UNREADABLE;
}

std::string too_large(size_t max_bytes)
{
    return format_text("larger than %zu bytes", max_bytes);
}

// Reads to the end, but never more than one byte past max_bytes.
FileRead read_to_end(int fd, size_t expected, size_t max_bytes, std::string* text, std::string* why)
{
    text->resize(expected + 1);
    size_t got = 0;
    for (;;) {
        if (got == text->size()) {
            if (got > max_bytes)
                break;
            text->resize(std::min(got * 2, max_bytes + 1));
        }
        ssize_t n = read(fd, &(*text)[got], text->size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(why, errno);
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    text->resize(got);
    if (got > max_bytes)
        return refused(why, too_large(max_bytes));
    return FileRead::READ;
}

} // namespace

FileRead read_bounded_file(int dirfd, const char* name, size_t max_bytes, bool trusted, std::string* text,
                           std::string* why)
{
    text->clear();
    why->clear();
    // Opening a device can act on it, so the type is known before the open.
    struct stat st {};
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(why, errno);
    if (S_ISLNK(st.st_mode))
        return refused(why, "a symbolic link");
    if (!S_ISREG(st.st_mode))
        return refused(why, "not a regular file");
    int fd = openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(why, errno);
    FileRead result;
    const bool stated = fstat(fd, &st) == 0;
    const int stat_errno = errno;
    const std::string untrusted = stated && trusted ? untrusted_because(st) : "";
    if (!stated) {
        result = failed(why, stat_errno);
    } else if (!S_ISREG(st.st_mode)) {
        result = refused(why, "not a regular file");
    } else if (!untrusted.empty()) {
        result = refused(why, untrusted);
    } else if (static_cast<unsigned long long>(st.st_size) > max_bytes) {
        result = refused(why, too_large(max_bytes));
    } else {
        result = read_to_end(fd, static_cast<size_t>(st.st_size), max_bytes, text, why);
    }
    close(fd);
    if (result != FileRead::READ)
        text->clear();
    return result;
}
