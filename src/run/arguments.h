#pragma once

#include "lib/run_state.h"

// Rewrites the slash forms, lowercases the arguments and takes the report
// path by position. Returns 0, or FWUPG_ERR when the command line is refused.
int verify_cmd_line_options(int argc, char** argv);

// Writes the usage text through print_message.
void usage();
