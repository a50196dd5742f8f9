#pragma once

#include <cstddef>
#include <string>

constexpr size_t KERNEL_PATH_SIZE = 4096;
constexpr size_t VARIANT_SIZE = 10;

// "/lib/modules/", then the release, then the module sub-path.
extern char kernel_path[KERNEL_PATH_SIZE];

// Stages the flash tool's module for the running kernel: 0, or FWUPG_ERR.
// An interrupted earlier run is finished first, from its record.
int update_iqv_driver();
// Puts the system's module back, or removes the staged one: 0, or
// FWUPG_ERR (logged, naming where the system's module is) when it could not.
int restore_iqv_driver();
// First entry of the variant table found in the release; out needs 10 bytes.
void findvariant(const char* release, char* out, size_t out_size);

// The shell pattern of the prebuilt module for a distribution tag, kernel
// release and variant, e.g. "./durivozo/RHEL*2.6.18PAE_durivozo.ko".
std::string candidate_module_name(const char* tag, const char* release, const char* variant);

// One run at a time per module tree: an exclusive flock on root's state
// directory ("/var/lib/dazed-fug", mode 0700, through the host seam), which
// no other user can open and so cannot block; taken before the log is
// opened and held until after restore. Taken only when this run may change
// the tree (a distribution release file or a staging record exists), so a
// run that stages nothing never waits for one that does.
enum class TreeLock { NOT_NEEDED, HELD, BUSY };
TreeLock lock_module_tree();
// Why the lock could not be taken ("" when it was, or was not needed).
const std::string& module_tree_lock_problem();
void unlock_module_tree();
bool module_tree_locked();

// The warning, logged at staging, that the kernel will not load the staged
// module; "" when there is none. Run control shows it once the options tell
// whether the console is open.
const std::string& staging_load_warning();

// Back to the state at process start; for tests that stage more than once.
void reset_staging_state();
