#pragma once

#include <string>

// Why the running kernel will not load the prebuilt module ("is locked down
// (integrity)", "enforces module signatures"), or "" when it may: a kernel
// that is locked down ([integrity] or [confidentiality]) or enforces module
// signatures loads only signed modules, and a module without the appended
// signature trailer is not one. The module is read from the descriptor
// that staging copies.
std::string module_load_refusal(int module_fd);
