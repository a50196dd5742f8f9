#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// File steps whose every result is checked, for files that must survive a
// full disk, a SIGKILL or a power cut: the staged module, its backup, the
// record of both, and the discovery report.

// dirname and basename of a path: "." and the path itself when it has no
// slash.
std::string parent_path(const std::string& path);
std::string base_name(const std::string& path);

// Writes all of data, going on after short writes and EINTR.
bool write_all(int fd, const void* data, size_t size);

// Removes name from the directory and makes that durable; a name that is
// already gone counts as removed.
bool remove_durably(int dirfd, const char* name);

// A new file under a short unique name (".dazed-" and six characters) in a
// directory, written through its descriptor (never reopened by name) and
// then moved onto its final name in one rename; removed again unless
// committed. It holds an flock on the file while it lives, so that
// remove_stale_temporaries tells it from one that a killed run left.
// errno_value() tells why a step failed.
class PendingFile {
public:
    PendingFile(int dirfd, mode_t mode);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int errno_value() const { return errno_; }
    // The final name holds the file, even if the directory sync then failed.
    bool renamed() const { return committed_; }

    bool write(const void* data, size_t size);
    // Hands the file to an owner and group (as root).
    bool set_owner(uid_t uid, gid_t gid);
    // fsync, close, rename onto name, fsync the directory. With replace
    // false an existing name is never overwritten.
    bool commit(const char* name, bool replace);

private:
    bool fail();
    int dirfd_;
    mode_t mode_;
    int fd_ = -1;
    int errno_ = 0;
    std::string name_;
    bool committed_ = false;
};

// Removes the temporaries that a killed run left in a directory: regular
// files named as PendingFile names them that no living PendingFile holds.
// Gives how many were removed.
int remove_stale_temporaries(int dirfd);
