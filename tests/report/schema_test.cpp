// The report schema accepts what the program writes (the golden report) and
// rejects its near misses and broken reports.
#include "support/report_schema.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string valid_report()
{
    return read_file(std::string(DAZED_SOURCE_DIR) + "/tests/report/golden/discovery_eth2.xml");
}

std::string edited(std::string report, const std::string& from, const std::string& to)
{
    size_t at = report.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return report.replace(at, from.size(), to);
}

TEST(ReportSchema, AcceptsValidAndRejectsBrokenReports)
{
    if (!schema_validator_available())
        GTEST_SKIP() << "xmllint is not installed";
    const std::string report = valid_report();
    const std::pair<std::string, bool> cases[] = {
        {report, true},
        {edited(report, "\"upgrade\"", "\"none\""), true},
        {edited(report, "\"upgrade\"", "\"\""), true},
        {edited(report, "\"upgrade\"", "\"Upgrade\""), false},
        {edited(report, "\"upgrade\"", "\"flash\""), false},
        {edited(report, "            <macaddress value=\"001B21123456\"/>\n", ""), false},
        {edited(report, "                <shared value=\"no\"/>\n", ""), false},
        {edited(report, "    <takes_effect value=\"reboot\"/>\n", ""), false},
        {edited(report, "\"10C9\"", "\"10c9\""), false},
        {edited(report, "\"0.0.0 \"", "\"0.0.0\""), false},
        {edited(report, "\"1.2.8\"", "\"1.2\""), false},
    };
    for (const auto& [text, valid] : cases) {
        std::string why;
        EXPECT_EQ(validates_against_report_schema(text, &why), valid) << why << "\n" << text;
    }
}

} // namespace
