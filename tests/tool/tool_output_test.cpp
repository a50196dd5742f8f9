// Picking words out of the flash tool's output and splitting version texts.
#include "lib/return_codes.h"
#include "support/test_support.h"
#include "tool/tool_number.h"
#include "tool/tool_output.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

struct WordCase {
    const char* content;  // null: no file
    int n;
    const char* from_start;
    const char* from_second;  // what a caller reading from out + 1 sees
};

TEST(WordPicker, CaseTable)
{
    const WordCase cases[] = {
        {"a = b:c  d\n", 1, "a", ""},
        {"a = b:c  d\n", 2, "b", ""},
        {"a = b:c  d\n", 3, "c", ""},
        {"a = b:c  d\n", 4, "d", ""},
        {"a = b:c  d\n", 5, "", "0.0.00"},
        {nullptr, 1, "", "0.0.00"},
        {"", 1, "", "0.0.00"},
        {"\nsecond line only\n", 1, "", "0.0.00"},
        {"PXE       v1.5.12\nPXE       v9.9.9\n", 2, "v1.5.12", "1.5.12"},
        {"::==  lead  ", 1, "lead", "ead"},
        {"tab\tand\rcr are word chars\n", 1, "tab\tand\rcr", "ab\tand\rcr"},
        {"NIC 3: MACAddress=001B21123456\n", 2, "3", ""},
    };
    for (const WordCase& c : cases) {
        TempDir dir;
        std::string path = dir.file("words.txt");
        if (c.content != nullptr)
            write_file(path, c.content);
        char out[16] = "00.0.00";
        get_nth_word_from_file(path.c_str(), c.n, out, sizeof out);
        EXPECT_STREQ(out, c.from_start) << (c.content ? c.content : "(no file)") << " word " << c.n;
        EXPECT_STREQ(out + 1, c.from_second) << (c.content ? c.content : "(no file)") << " word " << c.n;
    }
}

TEST(WordPicker, OnlyTheFirstByteIsClearedAndNZeroTouchesNothing)
{
    char out[8] = "keep";
    get_nth_word_from_file("/nonexistent/file", 0, out, sizeof out);
    EXPECT_STREQ(out, "keep");
    get_nth_word_from_file("/nonexistent/file", 1, out, sizeof out);
    EXPECT_EQ(out[0], '\0');
    EXPECT_STREQ(out + 1, "eep");
}

TEST(WordPicker, LongWordIsCutToTheBuffer)
{
    TempDir dir;
    write_file(dir.file("w"), "x 123456789012345 tail\n");
    char out[9 + 4];
    memset(out, '#', sizeof out);
    get_nth_word_from_file(dir.file("w").c_str(), 2, out, 9);
    EXPECT_STREQ(out, "12345678");
    EXPECT_EQ(out[9], '#');  // nothing written past the given size
}

TEST(WordPicker, OnlyTheFirst4095CharactersOfTheLineCount)
{
    TempDir dir;
    write_file(dir.file("w"), std::string(4094, 'a') + " bc d\n");
    char out[8] = "";
    get_nth_word_from_file(dir.file("w").c_str(), 2, out, sizeof out);
    EXPECT_STREQ(out, "");  // the line buffer ends before the second word
}

struct VersionCase {
    const char* text;
    uint32_t major, minor, build;
};

TEST(VersionParser, CaseTable)
{
    const VersionCase cases[] = {
        {"1.2.3", 1, 2, 3},     {"1.380.0", 1, 380, 0}, {"v1.2.3", 1, 2, 3},
        {"12.3.4", 2, 3, 4},    {"1.2", 1, 2, 0},       {"1.2.3.4", 1, 2, 3},
        {".5.6", 0, 5, 6},      {"", 0, 0, 0},          {"abc", 0, 0, 0},
        {"1.x.7", 1, 0, 7},     {"3. 42.1", 3, 42, 1},  {"1.2.3beta", 1, 2, 3},
        {"10.100.1000", 0, 100, 1000},
        // Components longer than their fields are cut to 3 and 4 characters.
        {"1.23456.987654", 1, 234, 9876},
    };
    for (const VersionCase& c : cases) {
        uint32_t major = 99, minor = 99, build = 99;
        EXPECT_EQ(parseversions(c.text, &major, &minor, &build), FWUPG_OK) << c.text;
        EXPECT_EQ(major, c.major) << c.text;
        EXPECT_EQ(minor, c.minor) << c.text;
        EXPECT_EQ(build, c.build) << c.text;
    }
}

TEST(VersionParser, NoTextLeavesOutputsAlone)
{
    uint32_t major = 7, minor = 8, build = 9;
    EXPECT_EQ(parseversions(nullptr, &major, &minor, &build), FWUPG_ERR);
    EXPECT_EQ(major, 7u);
    EXPECT_EQ(minor, 8u);
    EXPECT_EQ(build, 9u);
}

} // namespace

namespace {

// Only what parseversions reads as itself counts as a version of the tool.
TEST(VersionParser, ReadsWholeOnlyWithinTheFields)
{
    for (const char* whole : {"1.2.3", "0.0.0", "2.100.123", "9.999.9999", "1.02.0003", "v1.3.21", "v9.999.9999"})
        EXPECT_TRUE(version_reads_whole(whole)) << whole;
    for (const char* not_whole : {"", "1.2", "12.3.4", "1.2345.6", "1.2.34567", "1.2.3.4", "1.2.3 ", "1..3", "a.b.c",
                                  "v", "v1.2", "vv1.2.3", "V1.2.3", " v1.2.3", "v12.3.4", "v1.2.34567", "xv1.2.3"})
        EXPECT_FALSE(version_reads_whole(not_whole)) << not_whole;
}

TEST(ToolNumber, DecimalAndAtMostNineDigits)
{
    const struct {
        const char* line;
        ToolNumberState state;
        int32_t number;
    } cases[] = {
        {"NIC 3: MACAddress=001B21123456\n", ToolNumberState::USABLE, 3},
        {"NIC 999999999: MACAddress=001B21123456\n", ToolNumberState::USABLE, 999999999},
        {"NIC 1234567890: MACAddress=001B21123456\n", ToolNumberState::UNUSABLE, 0},
        {"NIC -1: MACAddress=001B21123456\n", ToolNumberState::UNUSABLE, 0},
        {"NIC\n", ToolNumberState::NOT_LISTED, 0},
        {"", ToolNumberState::NOT_LISTED, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        write_file(dir.file("line"), c.line);
        ToolNumber n = read_tool_number(dir.file("line").c_str());
        EXPECT_EQ(n.state, c.state) << c.line;
        EXPECT_EQ(n.number, c.number) << c.line;
    }
}

} // namespace
