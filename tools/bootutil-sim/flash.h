#pragma once

#include "command_line.h"
#include "state_store.h"

namespace bootutil_sim {

// -NIC=<n> -up=pxe+clp+ocd -QUIET -FILE=<path>: gives the adapter the
// image's versions and rewrites the state, unless the PSIDs differ or a
// fault is injected. Gives the exit code.
int run_flash(const Command& command, LockedState& locked);

} // namespace bootutil_sim
