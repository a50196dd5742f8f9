#pragma once

#include <sys/stat.h>

#include <string>

// Why a file with this status cannot be trusted, or "" when it can: it must
// be owned by root or by the user running the program, and writable by
// neither group nor others.
std::string untrusted_because(const struct stat& st);

// Run as root, the program runs ./bootutil and writes fixed names in the
// working directory, so a directory that someone else could change would
// let them run code as root. Gives "" when the run may go on (always, when
// not root), or the first entry that cannot be trusted and why, e.g.
// "./nic_fw is writable by group or others". An entry that does not exist
// counts as trusted: nothing is read from it, and no one else can make it.
std::string untrusted_working_directory();
