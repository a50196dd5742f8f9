#include "command_line.h"

#include <cstring>

namespace bootutil_sim {

namespace {

enum OptionBit : unsigned {
    OPT_E = 0x01,
    OPT_IV = 0x02,
    OPT_QUIET = 0x04,
    OPT_FILE = 0x08,
    OPT_NIC = 0x10,
    OPT_UP = 0x20,
};

const struct {
    const char* word;
    unsigned bit;
    std::string Command::*value;  // set: the word is a prefix, the rest its value
} kOptions[] = {
    {"-E", OPT_E, nullptr},
    {"-iv", OPT_IV, nullptr},
    {"-QUIET", OPT_QUIET, nullptr},
    {"-up=pxe+clp+ocd", OPT_UP, nullptr},
    {"-FILE=", OPT_FILE, &Command::file},
    {"-NIC=", OPT_NIC, &Command::nic},
};

const struct {
    unsigned options;
    CommandKind kind;
} kForms[] = {
    {OPT_E, CommandKind::ListAdapters},
    {OPT_IV | OPT_QUIET | OPT_FILE, CommandKind::ImageReport},
    {OPT_IV | OPT_QUIET | OPT_FILE | OPT_NIC, CommandKind::ImageForAdapter},
    {OPT_IV | OPT_QUIET | OPT_NIC, CommandKind::AdapterReport},
    {OPT_NIC | OPT_UP | OPT_QUIET | OPT_FILE, CommandKind::Flash},
};

} // namespace

Command parse_command_line(int argc, char* const* argv)
{
    Command command;
    unsigned seen = 0;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        unsigned bit = 0;
        for (const auto& option : kOptions) {
            size_t len = strlen(option.word);
            bool match = option.value != nullptr ? strncmp(word, option.word, len) == 0
                                                 : strcmp(word, option.word) == 0;
            if (match) {
                bit = option.bit;
                if (option.value != nullptr)
                    command.*option.value = word + len;
                break;
            }
        }
        if (bit == 0) {
            command.why = std::string("unknown option ") + word;
            return command;
        }
        if (seen & bit) {
            command.why = std::string("option given twice: ") + word;
            return command;
        }
        seen |= bit;
    }
    for (const auto& form : kForms) {
        if (form.options == seen) {
            command.kind = form.kind;
            return command;
        }
    }
    command.why = argc > 1 ? "unsupported combination of options" : "no command given";
    return command;
}

} // namespace bootutil_sim
