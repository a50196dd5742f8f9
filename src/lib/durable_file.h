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

// A new file under a short unique name in a directory, written through its
// descriptor (never reopened by name) and then moved onto its final name in
// one rename; removed again unless committed. errno_value() tells why a step
// failed.
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
    // fsync, close, rename onto name, fsync the directory. With replace
    // false an existing name is never overwritten.
    bool commit(const char* name, bool replace);

private:
    bool fail();
    int dirfd_;
    int fd_ = -1;
    int errno_ = 0;
    std::string name_;
    bool committed_ = false;
};
