#include "report/report_file.h"

#include "lib/durable_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Links followed before the path counts as a loop, as the kernel counts.
constexpr int kMaxLinks = 40;

enum class Target { REPLACE, DIRECT, REFUSED };

struct ResolvedTarget {
    Target kind = Target::REFUSED;
    std::string path;
    bool exists = false;
    mode_t mode = 0;
};

// /proc/<pid>/fd/N and its aliases are not links to a name but to an open
// file; the file they stand for is written, never replaced.
bool is_descriptor_link(const std::string& link)
{
    struct statfs fs {};
    return statfs(parent_path(link).c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

ResolvedTarget resolve(const std::string& path)
{
    ResolvedTarget target;
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0) {
            if (errno == ENOENT)
                target = {Target::REPLACE, current, false, 0};
            return target;
        }
        if (S_ISREG(st.st_mode))
            return {Target::REPLACE, current, true, st.st_mode};
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            return {Target::DIRECT, current, true, st.st_mode};
        if (!S_ISLNK(st.st_mode))
            return target;  // a directory, a socket, a block device
        if (is_descriptor_link(current))
            return {Target::DIRECT, current, true, st.st_mode};
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = readlink(current.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size())
            return target;
        link.resize(static_cast<size_t>(n));
        current = link[0] == '/' ? link : parent_path(current) + "/" + link;
    }
    return target;
}

// The mode a newly created report gets.
mode_t default_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool replace_file(const ResolvedTarget& target, const void* text, size_t size)
{
    int dirfd = open(parent_path(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        return false;
    bool written;
    {
        // Permission bits only: a set-user-ID bit is not handed on to a report.
        PendingFile file(dirfd, target.exists ? (target.mode & 0777) : default_file_mode());
        written = file.write(text, size) && file.commit(base_name(target.path).c_str(), true);
    }
    close(dirfd);
    return written;
}

bool write_directly(const ResolvedTarget& target, const void* text, size_t size)
{
    // Without a reader a FIFO refuses at once rather than hold the run (and
    // the staged module) forever; appending keeps what a redirected
    // standard output already holds.
    int fd = open(target.path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISREG(st.st_mode));
    int flags = ok ? fcntl(fd, F_GETFL) : -1;
    ok = ok && flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && write_all(fd, text, size);
    return close(fd) == 0 && ok;
}

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

} // namespace

bool save_report_document(xmlDocPtr doc, const char* path)
{
    if (doc == nullptr || path == nullptr || *path == '\0')
        return false;
    xmlChar* dumped = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &dumped, &size, "UTF-8", 0);
    std::unique_ptr<xmlChar, XmlFree> text(dumped);
    if (!text || size < 0)
        return false;
    const size_t length = static_cast<size_t>(size);

    if (strcmp(path, "-") == 0)
        return fflush(stdout) == 0 && write_all(STDOUT_FILENO, text.get(), length);
    ResolvedTarget target = resolve(path);
    switch (target.kind) {
    case Target::REPLACE:
        return replace_file(target, text.get(), length);
    case Target::DIRECT:
        return write_directly(target, text.get(), length);
    case Target::REFUSED:
        break;
    }
    return false;
}
