#pragma once

#include <string>

// The name of the mode that ran (its Mode's name), for the summary; set
// once it starts, and cleared (null) at the start of a run.
void note_mode_reached(const char* mode_name);

// The summary of a run that reached a mode: the mode, each adapter flashed
// (MAC, installed and new version, outcome) and the return code's name,
// escaped for the log; "" for a run that reached no mode. A version that
// does not read whole as one shows as "unknown".
std::string run_summary_line(int result);

// At the end of a run: run_summary_line to the system log, if any.
void log_run_summary(int result);
