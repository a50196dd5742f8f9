#pragma once

#include "state_model.h"

#include <string>

namespace bootutil_sim {

// The image a -FILE= path names: the file must exist at the path (relative
// to the working directory) and its file name must be an image of the
// state. Otherwise prints an error line and gives null.
StateLine* image_for_path(HostState& state, const std::string& path);

// The adapter a -NIC= value names, or null after an error line.
StateLine* adapter_for_number(HostState& state, const std::string& nic_text);

} // namespace bootutil_sim
