#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

// Small file steps for staging and restore.

// True when the file can be opened for reading (the release files are
// tested this way; their content is not read).
bool can_open_for_reading(const char* path);

// What a name holds, without following a symlink there.
enum class Entry { ABSENT, REGULAR, OTHER, UNREADABLE };

// The SHA-256 of the regular file name in dirfd (AT_FDCWD for a path),
// never following a symlink at it. Sets *st to its status.
Entry checksum_of(int dirfd, const char* name, std::string* sha256, struct stat* st = nullptr);

// The SHA-256 of everything an open file holds, read from its start; false
// when it cannot be read.
bool checksum_of_descriptor(int fd, std::string* sha256);

// Owner and group that a copy is given (as root); null keeps the copier's.
struct FileOwner {
    uid_t uid;
    gid_t gid;
};

// Copies what the open file src holds (from its start) into dirfd under
// name, through a temporary file that is synced and renamed (with replace
// false an existing name is never overwritten), and checks on the way that
// the copy has the checksum expected: a copy that differs never takes the
// name. Gives 0, or the errno of the step that failed (EILSEQ for a checksum
// that differs). *renamed tells whether the name now holds the copy even
// when a later step failed.
int copy_checked(int src, int dirfd, const char* name, bool replace, const std::string& expected_sha256,
                 mode_t mode, const FileOwner* owner = nullptr, bool* renamed = nullptr);

// Opens the regular file name in dirfd for reading, never following a
// symlink at it; -1 otherwise (errno ENOTSUP for what is not a regular file).
int open_regular(int dirfd, const char* name, struct stat* st = nullptr);
