#pragma once

#include <cstddef>

constexpr size_t KERNEL_PATH_SIZE = 4096;

// "/lib/modules/", then the release, then the module sub-path.
extern char kernel_path[KERNEL_PATH_SIZE];

// Stages the flash tool's module for the running kernel: 0, or FWUPG_ERR.
int update_iqv_driver();
// Puts the system's module back, or removes the staged one.
void restore_iqv_driver();
// First entry of the variant table found in the release; out needs 10 bytes.
void findvariant(const char* release, char* out, size_t out_size);
