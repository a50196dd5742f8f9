#pragma once

#include <string>

// The record of a staged module, written and synced before the system's
// module is touched and removed after a complete restore. A run killed in
// between (SIGKILL, the OOM killer, a power cut) leaves it, and the next run,
// from any working directory, finishes the restore from it.
struct ModuleRecord {
    std::string release;
    std::string module_path;    // the module file in the tree (host path)
    std::string backup_path;    // absolute path of the system's module set aside
    std::string system_sha256;  // empty: the system had no module of that name
    std::string staged_sha256;
};

enum class RecordRead { NONE, READ, UNUSABLE };

// "/var/lib/dazed-fug/staged-module" through the host seam.
std::string module_record_path();

// Reads the record. UNUSABLE (why says why) for a record that cannot be
// read, is malformed, names a module path this program never stages, or
// lies in a directory or file that someone other than root could change.
RecordRead read_module_record(ModuleRecord* record, std::string* why);

// Writes the record durably, making its directory (mode 0700) if needed.
bool write_module_record(const ModuleRecord& record, std::string* why);

// Removes the record durably; a record already gone counts as removed.
bool remove_module_record(std::string* why);
