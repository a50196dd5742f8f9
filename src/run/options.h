#pragma once

#include <cstdint>

using ModeFunction = int (*)();

// A mode: what runs it, and its name in the run's summary.
struct Mode {
    ModeFunction run;
    const char* name;
};

// parse_options() gives this when every option was taken and a mode is to
// be chosen; never a return code.
constexpr int OPTIONS_PARSED = -1;

// Parses the (normalised) options into g_iFlag without running anything.
// Gives OPTIONS_PARSED, or the run's result when parsing ended it: help
// (usage shown, FWUPG_OK) or an option that is refused (FWUPG_ERR).
int parse_options(int argc, char** argv);

// The mode that the option bits select, or null when the combination is refused.
const Mode* select_mode(uint32_t flags);
