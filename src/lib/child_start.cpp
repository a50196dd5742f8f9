#include "lib/child_start.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

const char kDefaultPath[] = "/usr/sbin:/usr/bin:/sbin:/bin";

struct Unwanted {
    const char* name;
    bool prefix;
};

const Unwanted kUnwantedVariables[] = {
    {"BASH_ENV", false}, {"ENV", false},  {"BASH_FUNC_", true}, {"SHELLOPTS", false},
    {"IFS", false},      {"CDPATH", false}, {"LD_PRELOAD", false}, {"LD_AUDIT", false},
};

bool unwanted(const char* entry)
{
    const char* eq = strchr(entry, '=');
    size_t name_length = eq != nullptr ? static_cast<size_t>(eq - entry) : strlen(entry);
    for (const Unwanted& u : kUnwantedVariables) {
        size_t n = strlen(u.name);
        if (u.prefix ? strncmp(entry, u.name, n) == 0 : (name_length == n && strncmp(entry, u.name, n) == 0))
            return true;
    }
    return false;
}

void close_descriptors_above_stderr()
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0)
        return;
#endif
    long max = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (max > 0 ? max : 1024); ++fd)
        close(static_cast<int>(fd));
}

std::string absolute_search_path(const char* path)
{
    std::string kept;
    const char* p = path != nullptr ? path : "";
    while (true) {
        const char* end = strchr(p, ':');
        size_t length = end != nullptr ? static_cast<size_t>(end - p) : strlen(p);
        if (length > 0 && p[0] == '/') {
            if (!kept.empty())
                kept += ':';
            kept.append(p, length);
        }
        if (end == nullptr)
            break;
        p = end + 1;
    }
    return kept.empty() ? kDefaultPath : kept;
}

} // namespace

ChildEnvironment::ChildEnvironment(char* const* environment)
{
    bool path_seen = false;
    for (char* const* e = environment; e != nullptr && *e != nullptr; ++e) {
        if (unwanted(*e))
            continue;
        if (strncmp(*e, "PATH=", 5) == 0) {
            if (path_seen)
                continue;
            path_seen = true;
            entries_.push_back("PATH=" + absolute_search_path(*e + 5));
            continue;
        }
        entries_.push_back(*e);
    }
    if (!path_seen)
        entries_.push_back(std::string("PATH=") + kDefaultPath);
    for (std::string& entry : entries_)
        pointers_.push_back(&entry[0]);
    pointers_.push_back(nullptr);
}

bool prepare_child_process()
{
    int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd < 0)
        return false;
    if (null_fd != STDIN_FILENO) {
        if (dup2(null_fd, STDIN_FILENO) < 0)
            return false;
        close(null_fd);
    }
    close_descriptors_above_stderr();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    umask(022);
    return true;
}
