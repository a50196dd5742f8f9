#pragma once

#include "driver/module_record.h"

#include <string>

// What the restore step may do; shared by staging and restore only.
enum class StagingState {
    // Nothing was changed in the module tree (no path formed, no release
    // file, or staging stopped before anything moved): restore does nothing.
    NotFormed,
    // The staged module is in the tree and g_staged describes it.
    Staged,
    // The restore step has run (or failed and left the record for the
    // next run); running it again must not act a second time.
    Restored,
};

extern StagingState g_staging_state;
// The record of what this run staged, valid while Staged.
extern ModuleRecord g_staged;

// The system's module, set aside in the working directory while staged.
extern const char g_BackupModule[];  // "durivozo.ko"

// Only the characters kernel releases are made of: the release goes
// unquoted into a shell command line.
bool release_is_shell_safe(const std::string& release);
// The module file of a release in the module tree (host path).
std::string module_path_for_release(const std::string& release);

// "SLES" or "RHEL" by the release file present, or null.
const char* distribution_tag();

// Finishes the restore of an interrupted run from its record, if there is
// one. False (logged) when the run must not stage.
bool recover_interrupted_run();
