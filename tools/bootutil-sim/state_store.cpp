#include "state_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bootutil_sim {

namespace {

std::string errno_text(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + strerror(errno);
}

bool read_all(int fd, std::string* text)
{
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        text->append(buf, static_cast<size_t>(n));
    }
}

bool write_all(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int lock_file(int fd, int operation)
{
    int rc;
    do {
        rc = flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

LockedState::~LockedState()
{
    release();
}

void LockedState::release()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool LockedState::load(const std::string& path, bool exclusive, std::string* error)
{
    release();
    path_ = path;
    state.lines.clear();
    // A writer renames a new file into place while others wait for the old
    // one's lock; whoever then holds a lock on a replaced file opens again.
    for (;;) {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            if (errno == ENOENT)
                return true;
            *error = errno_text("cannot open", path);
            return false;
        }
        if (lock_file(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            *error = errno_text("cannot lock", path);
            release();
            return false;
        }
        struct stat held {}, current {};
        if (fstat(fd_, &held) != 0) {
            *error = errno_text("cannot stat", path);
            release();
            return false;
        }
        if (stat(path.c_str(), &current) == 0 && current.st_ino == held.st_ino &&
            current.st_dev == held.st_dev)
            break;
        release();
    }
    std::string text;
    if (!read_all(fd_, &text)) {
        *error = errno_text("cannot read", path);
        release();
        return false;
    }
    return parse_state(text, path, &state, error);
}

bool LockedState::store(std::string* error)
{
    mode_t mode = 0644;
    struct stat held {};
    if (fd_ >= 0 && fstat(fd_, &held) == 0)
        mode = held.st_mode & 07777;

    std::string tmp = path_ + ".tmp." + std::to_string(getpid());
    int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        *error = errno_text("cannot create", tmp);
        return false;
    }
    bool ok = fchmod(out, mode) == 0 && write_all(out, serialize_state(state)) && fsync(out) == 0;
    if (close(out) != 0)
        ok = false;
    if (!ok) {
        *error = errno_text("cannot write", tmp);
        unlink(tmp.c_str());
        return false;
    }
    if (rename(tmp.c_str(), path_.c_str()) != 0) {
        *error = errno_text("cannot replace", path_);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace bootutil_sim
