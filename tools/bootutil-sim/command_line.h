#pragma once

#include <string>

namespace bootutil_sim {

enum class CommandKind {
    Invalid,
    ListAdapters,      // -E
    ImageReport,       // -iv -QUIET -FILE=<path>
    ImageForAdapter,   // -iv -QUIET -FILE=<path> -NIC=<n>
    AdapterReport,     // -iv -QUIET -NIC=<n>
    Flash,             // -NIC=<n> -up=pxe+clp+ocd -QUIET -FILE=<path>
};

struct Command {
    CommandKind kind = CommandKind::Invalid;
    std::string file;  // value of -FILE=
    std::string nic;   // value of -NIC=, as given
    std::string why;   // for Invalid: what was wrong
};

// Option words may come in any order; each form takes exactly its words,
// each once, spelt exactly so.
Command parse_command_line(int argc, char* const* argv);

} // namespace bootutil_sim
