#include "lib/trusted_directory.h"

#include "lib/bounded_text.h"
#include "lib/host_seam.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct Entry {
    const char* path;  // without a trailing slash, which would follow a symlink
    const char* shown;
};

const Entry kTrustedEntries[] = {
    {".", "the working directory"},
    {"./bootutil", "./bootutil"},
    {"./nic_fw", "./nic_fw/"},
    {"./durivozo", "./durivozo/"},
};

} // namespace

std::string untrusted_because(const struct stat& st)
{
    if (S_ISLNK(st.st_mode))
        return "a symbolic link";
    if (st.st_uid != 0 && st.st_uid != getuid())
        return format_text("owned by user ID %u", static_cast<unsigned>(st.st_uid));
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "writable by group or others";
    return "";
}

bool running_as_root()
{
    return g_host.effective_uid != nullptr && g_host.effective_uid() == 0;
}

std::string untrusted_working_directory()
{
    if (!running_as_root())
        return "";
    for (const Entry& entry : kTrustedEntries) {
        struct stat st {};
        if (lstat(entry.path, &st) != 0) {
            if (errno == ENOENT)
                continue;
            return format_text("%s cannot be checked: %s", entry.shown, strerror(errno));
        }
        std::string why = untrusted_because(st);
        if (!why.empty())
            return std::string(entry.shown) + " is " + why;
    }
    return "";
}

bool is_plain_file_name(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

int open_checked_file(int dirfd, const char* name, bool follow_link, std::string* why)
{
    std::string target = name;
    struct stat st {};
    if (follow_link && fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        char link[256];
        ssize_t n = readlinkat(dirfd, name, link, sizeof link);
        if (n < 0 || static_cast<size_t>(n) >= sizeof link || !is_plain_file_name(std::string(link, n))) {
            *why = n < 0 ? format_text("cannot be read (%s)", strerror(errno)) : "is a symbolic link out of its directory";
            return -1;
        }
        target.assign(link, static_cast<size_t>(n));
    }
    // Opening a device can act on it: the type is known before the open.
    if (fstatat(dirfd, target.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
        *why = S_ISLNK(st.st_mode) ? "is a symbolic link" : "is not a regular file";
        return -1;
    }
    int fd = openat(dirfd, target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ELOOP ? "is a symbolic link" : format_text("cannot be opened (%s)", strerror(errno));
        return -1;
    }
    std::string problem;
    if (fstat(fd, &st) != 0)
        problem = format_text("cannot be read (%s)", strerror(errno));
    else if (!S_ISREG(st.st_mode))
        problem = "is not a regular file";
    else if (running_as_root() && !untrusted_because(st).empty())
        problem = "is " + untrusted_because(st);
    if (!problem.empty()) {
        close(fd);
        *why = problem;
        return -1;
    }
    return fd;
}
