#pragma once

#include <string>

// Runs one command line through /bin/sh and waits for it. Returns the exit
// code ((status >> 8) & 0xFF); 255 when the shell cannot be started, and
// 128 + the signal when the shell itself was killed.
int do_command(const char* command);
inline int do_command(const std::string& command)
{
    return do_command(command.c_str());
}
