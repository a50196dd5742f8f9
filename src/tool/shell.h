#pragma once

#include <functional>
#include <string>

// Runs one command line through /bin/sh and waits for it. Returns the exit
// code ((status >> 8) & 0xFF); 255 when the shell cannot be started, and
// 128 + the signal when the shell itself was killed.
int do_command(const char* command);
inline int do_command(const std::string& command)
{
    return do_command(command.c_str());
}

// As do_command, for a command that must never be cut short (the flash):
// the shell and everything it starts ignore SIGINT, SIGTERM, SIGHUP and
// SIGQUIT, which a terminal or a service manager sends to every process of
// the run at once. The program itself never signals a child. every_second,
// if given, is called about once a second while the command runs.
int do_command_shielded(const std::string& command, const std::function<void()>& every_second = {});

// The shell itself, as do_command runs it when the host seam has no command
// hook: for hooks that record command lines and then run them.
int run_shell_command(const char* command, bool shielded, const std::function<void()>& every_second = {});

// Runs the command unless the run has been interrupted. False when it has
// been, before the command or while it ran; the caller then stops.
bool do_command_unless_interrupted(const std::string& command);
