#pragma once

#include <sys/stat.h>

#include <string>

// Why a file with this status cannot be trusted, or "" when it can: it must
// be owned by root or by the user running the program, and writable by
// neither group nor others.
std::string untrusted_because(const struct stat& st);

// Whether the program runs as root (through the host seam): the checks
// that protect root apply then.
bool running_as_root();

// Run as root, the program runs ./bootutil and writes fixed names in the
// working directory, so a directory that someone else could change would
// let them run code as root. Gives "" when the run may go on (always, when
// not root), or the first entry that cannot be trusted and why, e.g.
// "./nic_fw is writable by group or others". An entry that does not exist
// counts as trusted: nothing is read from it, and no one else can make it.
std::string untrusted_working_directory();

// Opens name in the directory dirfd for reading when it is a regular file
// that may be used: reached without following a symlink, except that with
// follow_link one symlink to a plain name in the same directory is followed
// (packages share one file between names that way), and, as root, passing
// untrusted_because on the descriptor that is then read. -1 with why set
// otherwise, as a phrase that follows "it" ("is owned by user ID 1000",
// "is a symbolic link out of its directory", "cannot be opened (...)").
int open_checked_file(int dirfd, const char* name, bool follow_link, std::string* why);

// A plain name in a directory: not empty, no "/", not "." or "..".
bool is_plain_file_name(const std::string& name);
