#pragma once

#include "command_line.h"

#include <string>

namespace bootutil_sim {

// Runs one command against the host state in state_path; gives the exit code.
int run_command(const Command& command, const std::string& state_path);

} // namespace bootutil_sim
