// Option parsing on its own: bits taken, where it stops, and that no mode runs.
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "run/run_control.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParseCase {
    std::vector<std::string> args;  // after the program name, already normalised
    int outcome;
    uint32_t flags;
    bool shows_usage;
};

TEST(OptionParsing, OutcomeFlagsAndConsole)
{
    const ParseCase cases[] = {
        {{}, OPTIONS_PARSED, 0, false},
        {{"-us", "report.xml"}, OPTIONS_PARSED, RUN_USE_XML | RUN_SILENT, false},
        {{"report.xml", "-u"}, OPTIONS_PARSED, RUN_USE_XML, false},
        // A refused combination is parsed all the same; the mode choice refuses it.
        {{"-c", "-d"}, OPTIONS_PARSED, RUN_SHOW_CURRENT | RUN_DISCOVERY, false},
        {{"--down", "--rewrite"}, OPTIONS_PARSED, RUN_DOWNGRADE | RUN_REWRITE, false},
        {{"-c", "-h", "-d"}, FWUPG_OK, RUN_SHOW_CURRENT, true},
        {{"-s", "-h"}, FWUPG_OK, RUN_SILENT, false},
        {{"-r"}, FWUPG_ERR, 0, true},
        {{"--mutual"}, FWUPG_ERR, 0, true},
        {{"--usexml=x.xml"}, FWUPG_ERR, 0, true},
        {{"--re"}, FWUPG_ERR, 0, true},  // ambiguous: reboot or rewrite
        {{"-s", "-x"}, FWUPG_ERR, RUN_SILENT, false},
    };
    const int saved_opterr = opterr;
    opterr = 0;
    for (const ParseCase& c : cases) {
        std::vector<std::string> storage{"dazed-fug"};
        storage.insert(storage.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& s : storage)
            argv.push_back(&s[0]);
        argv.push_back(nullptr);
        std::string label;
        for (const std::string& a : c.args)
            label += a + " ";

        g_iFlag = 0;
        testing::internal::CaptureStdout();
        int outcome = parse_options(static_cast<int>(storage.size()), argv.data());
        std::string shown = testing::internal::GetCapturedStdout();

        EXPECT_EQ(outcome, c.outcome) << label;
        EXPECT_EQ(g_iFlag, c.flags) << label;
        EXPECT_EQ(shown.find("USAGE: zupkit") != std::string::npos, c.shows_usage) << label;
    }
    opterr = saved_opterr;
    g_iFlag = 0;
}

} // namespace
