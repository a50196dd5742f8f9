#pragma once

#include <cstddef>
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

// The shell itself, the host seam's command hook in production: for hooks
// that record command lines and then run them.
int run_shell_command(const char* command, bool shielded, const std::function<void()>& every_second);

// While set, what a command writes to its standard error goes through a
// pipe to this function instead of straight to ours: the progress line sets
// it while it shows, so that nothing lands next to the status.
extern void (*g_command_stderr_relay)(const char* data, size_t size);

// Runs the command unless the run has been interrupted. False when it has
// been, before the command or while it ran; the caller then stops.
bool do_command_unless_interrupted(const std::string& command);
