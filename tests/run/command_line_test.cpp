// The command line through the real binary: help, refusals, normalisation.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using namespace testing_support;

namespace {

std::string usage_text()
{
    return read_file(std::string(DAZED_SOURCE_DIR) + "/tests/run/golden/usage.txt");
}

std::string return_value_line(const std::string& log)
{
    std::smatch m;
    static const std::regex line("\nReturn Value: [A-Z_]+ \\[-?[0-9]+\\]\n");
    return std::regex_search(log, m, line) ? m.str().substr(1, m.length() - 2) : "";
}

enum class Console { USAGE, UNKNOWN_THEN_USAGE, NOTHING };

struct CommandLineCase {
    std::vector<std::string> args;
    int exit_status;
    Console console;
    char unknown_letter;   // for UNKNOWN_THEN_USAGE
    bool parser_diagnostic;
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    for (const std::string& a : c.args)
        *os << a << ' ';
}

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, ExitStatusConsoleAndReturnValueLine)
{
    SKIP_IF_HOST_UNSAFE();
    const CommandLineCase& c = GetParam();
    TempDir dir;
    RunResult r = run_dazed_fug(c.args, dir.path());

    EXPECT_EQ(r.exit_status, c.exit_status);
    std::string expected;
    if (c.console == Console::USAGE)
        expected = usage_text();
    else if (c.console == Console::UNKNOWN_THEN_USAGE)
        expected = std::string("Unknown command line option: ") + c.unknown_letter + "\n" + usage_text();
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(!r.err.empty(), c.parser_diagnostic) << r.err;

    const char* name = c.exit_status == 0 ? "FWUPG_OK" : "FWUPG_ERR";
    EXPECT_EQ(return_value_line(read_file(dir.file("bootutil.log"))),
              std::string("Return Value: ") + name + " [" + std::to_string(c.exit_status) + "]");
}

INSTANTIATE_TEST_SUITE_P(
    HelpAndRefusals, CommandLine,
    ::testing::Values(
        CommandLineCase{{"-h"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"--help"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"--hel"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-H"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"--HELP"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-?"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-c", "-h"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-h", "-c"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-ch"}, 0, Console::USAGE, 0, false},
        CommandLineCase{{"-C", "-H"}, 0, Console::USAGE, 0, false},
        // An option parsed before the help mutes the console.
        CommandLineCase{{"-s", "-h"}, 0, Console::NOTHING, 0, false},
        CommandLineCase{{"-dh"}, 0, Console::NOTHING, 0, false},
        // Described in the usage text, refused all the same.
        CommandLineCase{{"-r"}, 6, Console::UNKNOWN_THEN_USAGE, 'r', false},
        CommandLineCase{{"--reboot"}, 6, Console::UNKNOWN_THEN_USAGE, 'r', false},
        CommandLineCase{{"-m"}, 6, Console::UNKNOWN_THEN_USAGE, 'm', false},
        CommandLineCase{{"--mutual"}, 6, Console::UNKNOWN_THEN_USAGE, 'm', false},
        CommandLineCase{{"--usexml=report.xml"}, 6, Console::UNKNOWN_THEN_USAGE, '?', true},
        CommandLineCase{{"-x"}, 6, Console::UNKNOWN_THEN_USAGE, '?', true},
        CommandLineCase{{"--re"}, 6, Console::UNKNOWN_THEN_USAGE, '?', true},
        CommandLineCase{{"-s", "-r"}, 6, Console::NOTHING, 0, false},
        // Refused combinations.
        CommandLineCase{{"-s", "-c"}, 6, Console::NOTHING, 0, false},
        CommandLineCase{{"-c", "-d"}, 6, Console::NOTHING, 0, false},
        CommandLineCase{{"-f", "-g"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-f", "-e"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-cf"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-ce"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-ug"}, 6, Console::NOTHING, 0, false},
        // Refused by the normalisation, before any option is parsed.
        CommandLineCase{{"/D"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"report.xml"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"x", "-h"}, 6, Console::USAGE, 0, false},
        CommandLineCase{{"-h", "-s", "-c", "-d"}, 6, Console::USAGE, 0, false}));

TEST(CommandLine, ReportPathLongerThanItsBufferIsRefused)
{
    SKIP_IF_HOST_UNSAFE();
    TempDir dir;
    RunResult r = run_dazed_fug({"-d", std::string(4096, 'a')}, dir.path());
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_EQ(r.out, usage_text());
}

TEST(CommandLine, LogIsLaidOutLineByLineWithTheCommandAsTyped)
{
    SKIP_IF_HOST_UNSAFE();
    TempDir dir;
    RunResult r = run_dazed_fug({"-H", "/D"}, dir.path());
    ASSERT_EQ(r.exit_status, 0);

    const std::string sep(60, '=');
    std::vector<std::string> lines = split_lines(read_file(dir.file("bootutil.log")));
    // The run's events (a staging note on hosts without release files) stand
    // between the command line and the return value.
    auto first_event = lines.begin() + 9;
    auto return_value = std::find(first_event, lines.end(), "");
    for (auto it = first_event; it != return_value; ++it)
        EXPECT_TRUE(it->rfind("[WARNING]:", 0) == 0 || it->rfind("[INFO]   :", 0) == 0) << *it;
    lines.erase(first_event, return_value);

    std::vector<std::string> expected = {
        sep, "Copyright (C) 2026 The Tarkwell developers. All rights reserved.", "Tarkwell", sep, "",
        "<time>", "", std::string("Command: ") + DAZED_FUG_BINARY + " -H /D ", "", "",
        "Return Value: FWUPG_OK [0]", sep, ""};
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (expected[i] == "<time>")
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(R"(\[\w{3} \w{3} [ 0-9]\d \d\d:\d\d:\d\d \d{4}\])")))
                << lines[i];
        else
            EXPECT_EQ(lines[i], expected[i]) << "line " << i;
    }
}

TEST(CommandLine, UnopenableEventLogGivesTheStandardErrorLineAndNoRun)
{
    SKIP_IF_HOST_UNSAFE();
    TempDir dir;
    make_dirs(dir.file("bootutil.log"));  // a directory cannot be opened for writing, even by root
    RunResult r = run_dazed_fug({"-h"}, dir.path());
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::regex_match(r.err, std::regex("FWUPG_ERROR: could not open bootutil\\.log \\(21\\), dazed-fug,[0-9]+\n")))
        << r.err;
}

} // namespace
