// Normalisation of the arguments before option parsing.
#include "lib/return_codes.h"
#include "run/arguments.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NormalisationCase {
    std::vector<std::string> args;      // after the program name
    int result;
    std::vector<std::string> rewritten; // the texts the parser then sees
    std::string report_path;
};

void PrintTo(const NormalisationCase& c, std::ostream* os)
{
    for (const std::string& a : c.args)
        *os << a.substr(0, 20) << ' ';
}

class Normalisation : public ::testing::TestWithParam<NormalisationCase> {};

TEST_P(Normalisation, RewritesAndTakesTheReportPath)
{
    const NormalisationCase& c = GetParam();
    std::vector<std::string> storage{"./Dazed-Fug"};
    storage.insert(storage.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(&s[0]);
    g_XMLDiscoveryReport[0] = '\0';

    EXPECT_EQ(verify_cmd_line_options(static_cast<int>(argv.size()), argv.data()), c.result);
    EXPECT_STREQ(argv[0], "./Dazed-Fug");  // the program name is never touched
    for (size_t i = 0; i < c.rewritten.size(); ++i)
        EXPECT_STREQ(argv[i + 1], c.rewritten[i].c_str()) << "argument " << i + 1;
    EXPECT_STREQ(g_XMLDiscoveryReport, c.report_path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Normalisation,
    ::testing::Values(
        NormalisationCase{{}, FWUPG_OK, {}, ""},
        NormalisationCase{{"/d"}, FWUPG_OK, {"-d"}, "nicdiscovery.xml"},
        NormalisationCase{{"/u"}, FWUPG_OK, {"-u"}, "nicdiscovery.xml"},
        NormalisationCase{{"-d"}, FWUPG_OK, {"-d"}, "nicdiscovery.xml"},
        NormalisationCase{{"/d", "Rep.XML"}, FWUPG_OK, {"-d", "rep.xml"}, "Rep.XML"},
        NormalisationCase{{"-US", "My/Report.xml"}, FWUPG_OK, {"-us", "my/report.xml"}, "My/Report.xml"},
        NormalisationCase{{"-c", "-H"}, FWUPG_OK, {"-c", "-h"}, "-H"},
        NormalisationCase{{"-?"}, FWUPG_OK, {"-h"}, "nicdiscovery.xml"},
        NormalisationCase{{"--HeLp"}, FWUPG_OK, {"--help"}, "nicdiscovery.xml"},
        // A "-" anywhere will do; the second argument is never tested.
        NormalisationCase{{"a-b", "plain"}, FWUPG_OK, {"a-b", "plain"}, "plain"},
        // Three arguments: no rewriting, no test, no report path.
        NormalisationCase{{"/D", "-U", "X"}, FWUPG_OK, {"/d", "-u", "x"}, ""},
        NormalisationCase{{"/D"}, FWUPG_ERR, {"/D"}, ""},
        NormalisationCase{{"/U", "r.xml"}, FWUPG_ERR, {"/U", "r.xml"}, ""},
        NormalisationCase{{"report.xml"}, FWUPG_ERR, {"report.xml"}, ""},
        NormalisationCase{{"-"}, FWUPG_ERR, {"-"}, ""},
        NormalisationCase{{"-A", "-B", "-C", "-D"}, FWUPG_ERR, {"-A", "-B", "-C", "-D"}, ""}));

TEST(Normalisation, ReportPathMustFitItsBuffer)
{
    std::string fits(XML_REPORT_PATH_SIZE - 1, 'p');
    std::string too_long(XML_REPORT_PATH_SIZE, 'p');
    for (const std::string* path : {&fits, &too_long}) {
        std::string prog = "dazed-fug", opt = "-d", arg = *path;
        char* argv[] = {&prog[0], &opt[0], &arg[0]};
        int result = verify_cmd_line_options(3, argv);
        if (path == &fits) {
            EXPECT_EQ(result, FWUPG_OK);
            EXPECT_EQ(strlen(g_XMLDiscoveryReport), fits.size());
        } else {
            EXPECT_EQ(result, FWUPG_ERR);
            EXPECT_STREQ(g_XMLDiscoveryReport, "");  // never cut into another file's name
        }
    }
}

} // namespace
