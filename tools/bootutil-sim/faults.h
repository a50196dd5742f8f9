#pragma once

#include "state_model.h"

#include <string>

namespace bootutil_sim {

// True when the record's omit= list names label (null record: false).
bool omits(const StateLine* record, const char* label);

// Writes a line to standard error when the record's stderr_on= list names
// label, as a tool's warning would reach the terminal.
void write_stderr_if_asked(const StateLine* record, const char* label);

// Sleeps for the seconds named by the record's key (fractions allowed);
// nothing when the key is absent.
void delay_by(const StateLine& record, const char* key);

// Ends the process by the signal named by the record's flash_signal key;
// returns when there is none. A signal that does not end a process by
// default ends it with the exit code 128 + signal.
void die_by_signal_if_asked(const StateLine& record);

} // namespace bootutil_sim
