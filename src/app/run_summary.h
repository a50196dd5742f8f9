#pragma once

// The name of the mode that ran, for the summary; set once it starts, and
// cleared (null) at the start of a run.
void note_mode_reached(int (*mode)());

// At the end of a run that reached a mode: one line to the system log with
// the mode, each adapter flashed (MAC, installed and new version, outcome)
// and the return code's name. Nothing for a run that reached no mode.
void log_run_summary(int result);
