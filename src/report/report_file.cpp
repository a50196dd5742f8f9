#include "report/report_file.h"

#include "lib/bounded_text.h"
#include "lib/durable_file.h"

#include <fcntl.h>
#include <linux/major.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
    struct stat st {};
    bool by_descriptor = false;  // a /proc descriptor link, opened through it
    bool terminal = false;       // written only if it opens as a terminal
    std::string why;             // REFUSED
};

ResolvedTarget refused(const std::string& why)
{
    ResolvedTarget target;
    target.why = why;
    return target;
}

// /proc/<pid>/fd/N and its aliases are not links to a name but to an open
// file; the file they stand for is written, never replaced.
bool is_descriptor_link(const std::string& link)
{
    struct statfs fs {};
    return statfs(parent_path(link).c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The kernel's rule for links, FIFOs and files in sticky directories that
// anyone can write to (/tmp): another user may have left them there for
// root to follow, so only those of root, of this user or of the directory's
// owner are used. Resolving the links here keeps the kernel from applying it, so
// it is applied here, whatever the kernel is set to. The directory's owner
// can change its mode and make the directory an ordinary one, whose links
// are followed; refusing that owner's links would protect nothing.
std::string planted_by(const std::string& path, const struct stat& st)
{
    if (st.st_uid == 0 || st.st_uid == geteuid())
        return "";
    struct stat dir {};
    if (stat(parent_path(path).c_str(), &dir) != 0)
        return format_text("in a directory that cannot be checked (%s)", strerror(errno));
    if ((dir.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) || dir.st_uid == st.st_uid)
        return "";
    return format_text("owned by user ID %u in a sticky directory that anyone can write to",
                       static_cast<unsigned>(st.st_uid));
}

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool is_standard_output(const struct stat& st)
{
    struct stat out {};
    return fstat(STDOUT_FILENO, &out) == 0 && same_file(st, out);
}

// Terminals: the virtual consoles and serial lines, /dev/tty and
// /dev/console, and pseudo-terminals. Not /dev/ptmx, which would make one.
bool may_be_terminal(dev_t rdev)
{
    const unsigned major_number = major(rdev);
    const unsigned minor_number = minor(rdev);
    return major_number == TTY_MAJOR || (major_number == TTYAUX_MAJOR && minor_number <= 1) ||
           major_number == PTY_SLAVE_MAJOR ||
           (major_number >= UNIX98_PTY_SLAVE_MAJOR &&
            major_number < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT);
}

// A device is written into only when it is the program's own standard
// output, /dev/null or a terminal; opening any other could act on it.
ResolvedTarget direct_target(const std::string& path, const struct stat& st, bool by_descriptor)
{
    ResolvedTarget target;
    target.kind = Target::DIRECT;
    target.path = path;
    target.exists = true;
    target.st = st;
    target.by_descriptor = by_descriptor;
    if (S_ISFIFO(st.st_mode) || is_standard_output(st))
        return target;
    if (S_ISREG(st.st_mode) && by_descriptor)
        return target;
    if (S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3))
        return target;
    if (S_ISCHR(st.st_mode) && may_be_terminal(st.st_rdev)) {
        target.terminal = true;
        return target;
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return refused("it is a device other than a terminal, /dev/null or standard output");
    return refused(S_ISDIR(st.st_mode) ? "it is a directory" : "it is neither a file, a FIFO nor a terminal");
}

ResolvedTarget resolve(const std::string& path)
{
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return refused(strerror(errno));
            ResolvedTarget target;
            target.kind = Target::REPLACE;
            target.path = current;
            return target;
        }
        if (S_ISREG(st.st_mode)) {
            // Its mode would pass to the report, which someone else could
            // then rewrite before a -u run reads it.
            const std::string planted = planted_by(current, st);
            if (!planted.empty())
                return refused("it is a file " + planted);
            ResolvedTarget target;
            target.kind = Target::REPLACE;
            target.path = current;
            target.exists = true;
            target.st = st;
            return target;
        }
        if (!S_ISLNK(st.st_mode)) {
            const std::string planted = S_ISFIFO(st.st_mode) ? planted_by(current, st) : "";
            if (!planted.empty())
                return refused("it is a FIFO " + planted);
            return direct_target(current, st, false);
        }
        if (is_descriptor_link(current)) {
            if (stat(current.c_str(), &st) != 0)
                return refused(strerror(errno));
            return direct_target(current, st, true);
        }
        const std::string planted = planted_by(current, st);
        if (!planted.empty())
            return refused("it is a symbolic link " + planted);
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = readlink(current.c_str(), &link[0], link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size())
            return refused("it is a symbolic link that cannot be read");
        link.resize(static_cast<size_t>(n));
        // A relative target is relative to the link's own directory.
        current = link[0] == '/' ? link : parent_path(current) + "/" + link;
    }
    return refused(strerror(ELOOP));
}

// The mode a newly created report gets.
mode_t default_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool replace_file(const ResolvedTarget& target, const void* text, size_t size, std::string* why)
{
    int dirfd = open(parent_path(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0) {
        *why = strerror(errno);
        return false;
    }
    bool written;
    {
        // Permission bits only: a set-user-ID bit is not handed on to a report.
        PendingFile file(dirfd, target.exists ? (target.st.st_mode & 0777) : default_file_mode());
        written = file.write(text, size) && file.commit(base_name(target.path).c_str(), true);
        if (!written)
            *why = strerror(file.errno_value());
    }
    close(dirfd);
    return written;
}

bool write_directly(const ResolvedTarget& target, const void* text, size_t size, std::string* why)
{
    // Without a reader a FIFO refuses at once rather than hold the run (and
    // the staged module) forever; appending keeps what a redirected
    // standard output already holds. A name is opened only as what it was
    // when checked, never as a link put there since.
    const int follow = target.by_descriptor ? 0 : O_NOFOLLOW;
    int fd = open(target.path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | follow);
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) != 0)
        *why = strerror(errno);
    else if (!same_file(st, target.st))
        *why = "it changed while it was opened";
    else if (target.terminal && isatty(fd) != 1)
        *why = "it is not a terminal";
    else
        ok = true;
    int flags = ok ? fcntl(fd, F_GETFL) : -1;
    if (ok && !(flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && write_all(fd, text, size))) {
        *why = strerror(errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        *why = strerror(errno);
        ok = false;
    }
    return ok;
}

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

} // namespace

bool save_report_document(xmlDocPtr doc, const char* path, std::string* why)
{
    std::string ignored;
    if (why == nullptr)
        why = &ignored;
    why->clear();
    if (doc == nullptr || path == nullptr || *path == '\0') {
        *why = "no report or no path";
        return false;
    }
    xmlChar* dumped = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &dumped, &size, "UTF-8", 0);
    std::unique_ptr<xmlChar, XmlFree> text(dumped);
    if (!text || size < 0) {
        *why = "the report could not be composed";
        return false;
    }
    const size_t length = static_cast<size_t>(size);

    if (strcmp(path, "-") == 0) {
        if (fflush(stdout) == 0 && write_all(STDOUT_FILENO, text.get(), length))
            return true;
        *why = strerror(errno);
        return false;
    }
    ResolvedTarget target = resolve(path);
    switch (target.kind) {
    case Target::REPLACE:
        return replace_file(target, text.get(), length, why);
    case Target::DIRECT:
        return write_directly(target, text.get(), length, why);
    case Target::REFUSED:
        *why = target.why;
        break;
    }
    return false;
}
