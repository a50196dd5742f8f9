#pragma once

// The whole run: log header, staging, arguments, options, one mode,
// restore, return value. Returns the exit status.
int run_dazed_fug(int argc, char** argv);

#include <cstdint>

using ModeFunction = int (*)();

// Parses the (normalised) options into g_iFlag and runs the selected mode.
// Returns the run's result.
int parse_and_dispatch(int argc, char** argv);

// The mode that the option bits select, or null when the combination is refused.
ModeFunction select_mode(uint32_t flags);
