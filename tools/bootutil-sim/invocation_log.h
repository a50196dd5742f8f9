#pragma once

#include <string>

namespace bootutil_sim {

// The command text of the parent process when it is "sh -c <text>" (a
// forked subshell or pipeline member keeps that command line), else "".
std::string parent_shell_command();

// "<args joined by single blanks>\t<shell command>\n", every line end in
// the shell command written as the two characters "\n".
std::string invocation_log_line(int argc, char* const* argv, const std::string& shell_command);

// Appends the line in one write, so that the members of one pipeline do not
// interleave. Returns false when the log cannot be written.
bool append_invocation(const std::string& log_path, const std::string& line);

} // namespace bootutil_sim
