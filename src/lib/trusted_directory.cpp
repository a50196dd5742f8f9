#include "lib/trusted_directory.h"

#include "lib/bounded_text.h"
#include "lib/host_seam.h"

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

std::string untrusted_working_directory()
{
    if (g_host.effective_uid == nullptr || g_host.effective_uid() != 0)
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
