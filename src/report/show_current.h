#pragma once

// The -c mode: prints the installed and available versions of every
// supported adapter. Returns 0 or FWUPG_ERR.
int show_current();

// Prints the version block of one adapter.
void print_version_block(int index);
