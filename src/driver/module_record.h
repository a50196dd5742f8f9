#pragma once

#include <sys/types.h>

#include <string>

// The record of a staged module, written and synced before anything in the
// module tree changes and removed after a complete restore. A run killed in
// between (SIGKILL, the OOM killer, a power cut) leaves it, and the next run,
// from any working directory, finishes the restore from it.
struct ModuleRecord {
    std::string release;
    std::string module_path;    // the module file in the tree (host path)
    std::string backup_path;    // where the system's module is kept meanwhile
    std::string system_sha256;  // empty: the system had no module of that name
    std::string staged_sha256;
    // The system module's permission bits (octal), owner and group, which
    // it gets back whatever the copy kept aside has.
    std::string system_mode = "644";
    std::string system_uid = "0";
    std::string system_gid = "0";
    // Records of the first format kept the backup in the working directory;
    // such a backup is used only for what its checksum proves.
    bool backup_in_state_dir = true;

    mode_t mode() const;
    uid_t uid() const;
    gid_t gid() const;
};

enum class RecordRead { NONE, READ, UNUSABLE };

// "/var/lib/dazed-fug", through the host seam: root's own directory for the
// record, the system's module while it is set aside, and the run lock.
std::string state_dir_path();
// "/var/lib/dazed-fug/staged-module" through the host seam.
std::string module_record_path();
// Where the system's module of a release is kept while staged (host path):
// "durivozo-<release>.ko" in the state directory.
std::string backup_path_for_release(const std::string& release);

// Opens the state directory (making it, mode 0700, when create is set) only
// when root (or this user) alone can change it; with create set, a mode that
// lets others in is narrowed to 0700. -1 with why set otherwise.
int open_state_dir(bool create, std::string* why);

// Reads the record. UNUSABLE (why says what was found) for a record that
// cannot be read, is malformed, names a module path or a backup this program
// never uses, or lies in a directory or file that someone other than root
// could change.
RecordRead read_module_record(ModuleRecord* record, std::string* why);

// Writes the record durably, making its directory (mode 0700) if needed.
bool write_module_record(const ModuleRecord& record, std::string* why);

// Removes the record durably; a record already gone counts as removed.
bool remove_module_record(std::string* why);

// Removes the copy of the system's module that the record keeps in the
// state directory, durably; a copy already gone counts as removed.
bool remove_kept_module(const ModuleRecord& record);

// Moves the record aside as "retired-<release>" in the state directory (its
// backup path set to where_kept), for a record that can never be acted on
// again; the name of the retired record, or "" (why set) when it could not.
std::string retire_module_record(const ModuleRecord& record, const std::string& where_kept, std::string* why);
