#pragma once

#include <string>

namespace bootutil_sim {

// The host state: $BOOTUTIL_SIM_STATE, or bootutil-sim.state beside the
// running executable (tests copy the binary into the program's working
// directory, so the state sits there too).
std::string state_file_path();

// The invocation log: $BOOTUTIL_SIM_LOG, or bootutil-sim.log beside the state.
std::string log_file_path(const std::string& state_path);

// "a/b/c" gives "a/b"; a name without "/" gives ".".
std::string directory_of(const std::string& path);
// "a/b/c" gives "c".
std::string base_name(const std::string& path);

} // namespace bootutil_sim
