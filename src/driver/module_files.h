#pragma once

// Small file checks for staging and restore.

// True when the file can be opened for reading (the release files and the
// module are tested this way; their content is not read).
bool can_open_for_reading(const char* path);
// True when anything (file, directory, symlink) has that name.
bool path_exists(const char* path);
bool is_regular_file(const char* path);
