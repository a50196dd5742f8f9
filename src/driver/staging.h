#pragma once

#include <cstddef>
#include <string>

constexpr size_t KERNEL_PATH_SIZE = 4096;
constexpr size_t VARIANT_SIZE = 10;

// "/lib/modules/", then the release, then the module sub-path.
extern char kernel_path[KERNEL_PATH_SIZE];

// Stages the flash tool's module for the running kernel: 0, or FWUPG_ERR.
int update_iqv_driver();
// Puts the system's module back, or removes the staged one.
void restore_iqv_driver();
// First entry of the variant table found in the release; out needs 10 bytes.
void findvariant(const char* release, char* out, size_t out_size);

// The shell pattern of the prebuilt module for a distribution tag, kernel
// release and variant, e.g. "./durivozo/RHEL*2.6.18PAE_durivozo.ko".
std::string candidate_module_name(const char* tag, const char* release, const char* variant);

// Back to the state at process start; for tests that stage more than once.
void reset_staging_state();
