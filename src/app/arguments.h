#pragma once

#include <cstddef>

constexpr size_t XML_REPORT_PATH_SIZE = 4096;

// The discovery report path taken from the command line; empty when none.
extern char g_XMLDiscoveryReport[XML_REPORT_PATH_SIZE];

// Rewrites the slash forms, lowercases the arguments and takes the report
// path by position. Returns 0, or FWUPG_ERR when the command line is refused.
int verify_cmd_line_options(int argc, char** argv);

// Writes the usage text through print_message.
void usage();
