#pragma once

#include "run/options.h"

// The whole run: log header, staging, arguments, options, one mode,
// restore, return value. Returns the exit status.
int run_dazed_fug(int argc, char** argv);
