#pragma once

#include <sys/types.h>

#include <string>

// Small file steps for staging and restore.

// True when the file can be opened for reading (the release files are
// tested this way; their content is not read).
bool can_open_for_reading(const char* path);

// What a name holds, without following a symlink there.
enum class Entry { ABSENT, REGULAR, OTHER, UNREADABLE };

// The SHA-256 of the regular file name in dirfd (AT_FDCWD for a path),
// never following a symlink at it. Sets *mode to its permission bits.
Entry checksum_of(int dirfd, const char* name, std::string* sha256, mode_t* mode = nullptr);

// Copies the regular file src into dirfd under name, through a temporary
// file that is synced and renamed (with replace false an existing name is
// never overwritten), and checks on the way that the copy has the checksum
// expected. Gives 0, or the errno of the step that failed (EILSEQ for a
// checksum that differs). *renamed tells whether the name now holds the
// copy even when a later step failed.
int copy_checked(const char* src, int dirfd, const char* name, bool replace, const std::string& expected_sha256,
                 mode_t mode, bool* renamed = nullptr);
