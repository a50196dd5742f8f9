#pragma once

// What the restore step may do with kernel_path; shared by staging and
// restore only.
enum class StagingState {
    // No module file path was formed (no release, unsupported release, or no
    // distribution release file): the restore step does nothing.
    NotFormed,
    // kernel_path names the module file: restore puts the backup back or
    // removes the staged module.
    Formed,
    // The system's module could not be set aside safely; it and any backup
    // stay exactly where they are.
    HeldBack,
    // The restore step has run; running it again would remove the module it
    // just put back.
    Restored,
};

extern StagingState g_staging_state;

// The system's module, moved into the working directory while staged.
extern const char g_BackupModule[];  // "durivozo.ko"
