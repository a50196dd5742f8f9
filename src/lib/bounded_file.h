#pragma once

#include <cstddef>
#include <string>

// What came of reading a file whole.
enum class FileRead {
    READ,
    ABSENT,      // nothing by that name
    UNREADABLE,  // it could not be opened or read; why is the system's reason
    REFUSED,     // it is not what may be read; why says what it is
};

// Reads the file name in dirfd (AT_FDCWD for a path) whole into text, for
// inputs that must be local, bounded and, for root, trusted. A symbolic link
// at the last component is not followed and nothing but a regular file is
// opened, so no FIFO blocks the run and no device is touched. The
// descriptor that is read is the one checked: a regular file of at most
// max_bytes (also when it grows meanwhile) and, with trusted, one that
// untrusted_because accepts. why for REFUSED: "a symbolic link", "not a
// regular file", "larger than N bytes" or untrusted_because's text.
FileRead read_bounded_file(int dirfd, const char* name, size_t max_bytes, bool trusted, std::string* text,
                           std::string* why);
