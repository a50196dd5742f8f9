// The event log's line formats and the console gate.
#include "lib/run_state.h"
#include "log/event_log.h"
#include "support/event_log_capture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testing_support::EventLogCapture;

std::string console_of(void (*action)())
{
    testing::internal::CaptureStdout();
    action();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class EventLog : public ::testing::Test {
protected:
    void SetUp() override { g_iFlag = 0; }
    void TearDown() override { g_iFlag = 0; }
};

TEST_F(EventLog, ReturnValueLineForEveryCode)
{
    const std::pair<int, const char*> cases[] = {
        {0, "\nReturn Value: FWUPG_OK [0]\n"},
        {1, "\nReturn Value: FWUPG_OK_REBOOT [1]\n"},
        {2, "\nReturn Value: FWUPG_NOOP_SAME_VERSION [2]\n"},
        {3, "\nReturn Value: FWUPG_NOOP [3]\n"},
        {4, "\nReturn Value: FWUPG_TARGET_NOT_FOUND [4]\n"},
        {5, "\nReturn Value: FWUPG_QUIT [5]\n"},
        {6, "\nReturn Value: FWUPG_ERR [6]\n"},
        {7, "\nReturn Value: FWUPG_ERR_FLASH_FAILURE [7]\n"},
        {8, "\nReturn Value: UNKNOWN [8]\n"},
        {255, "\nReturn Value: UNKNOWN [255]\n"},
        {-1, "\nReturn Value: UNKNOWN [-1]\n"},
    };
    for (const auto& [code, line] : cases) {
        EventLogCapture log;
        log_ret_val(code);
        EXPECT_EQ(log.text(), line);
    }
}

TEST_F(EventLog, ConsoleEchoOnlyForFlagOneAndWithoutPrefix)
{
    for (int console : {0, 1, 2, -1}) {
        EventLogCapture log;
        static int flag;
        flag = console;
        std::string shown = console_of([] { log_dazed_event(dazed_fout, LOG_ERROR, "disk on fire\n", flag); });
        EXPECT_EQ(log.text(), "[ERROR]  :disk on fire\n");
        EXPECT_EQ(shown, console == 1 ? "disk on fire\n" : "") << "console flag " << console;
    }
}

TEST_F(EventLog, ConsoleGateClosesUnderSilentDiscoveryAndDirectedUpdate)
{
    const std::pair<uint32_t, bool> cases[] = {
        {0, true}, {RUN_FORCE | RUN_DOWNGRADE | RUN_REWRITE | RUN_SHOW_CURRENT, true},
        {RUN_SILENT, false}, {RUN_DISCOVERY, false}, {RUN_USE_XML, false},
    };
    for (const auto& [flags, open] : cases) {
        g_iFlag = flags;
        EventLogCapture log;
        std::string shown = console_of([] { log_dazed_event(dazed_fout, LOG_INFO, "hello\n", 1); });
        EXPECT_EQ(shown, open ? "hello\n" : "") << std::hex << flags;
        EXPECT_EQ(log.text(), "[INFO]   :hello\n");  // the log receives it either way
    }
}

TEST_F(EventLog, TextIsNeverAFormat)
{
    std::string shown = console_of([] { print_message("100% %s %d %n done"); });
    EXPECT_EQ(shown, "100% %s %d %n done");
}

TEST_F(EventLog, CommandLineLoggedArgumentByArgument)
{
    EventLogCapture log;
    char prog[] = "./dazed-fug";
    char a1[] = "/d";
    char a2[] = "Report 100%.xml\n[INFO]   :x\t\x01";
    char* argv[] = {prog, a1, a2};
    log_command(1, argv);
    EXPECT_EQ(log.text(), "\nCommand: ./dazed-fug \n\n");
    EventLogCapture log2;
    log_command(3, argv);
    // Control characters are escaped: no argument starts a line of its own.
    EXPECT_EQ(log2.text(), "\nCommand: ./dazed-fug /d Report 100%.xml\\n[INFO]   :x\\t\\x01 \n\n");
}

// Every control character is escaped, the UTF-8 forms of C1 included;
// printable text and other UTF-8 stay as they are.
TEST_F(EventLog, LogSafeBoundaries)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\x1F", "\\x1F"},         {" ", " "},
        {"~", "~"},                  {"\x7F", "\\x7F"},
        {"\x80", "\\x80"},          {"\x9F", "\\x9F"},
        {"\xA0", "\xA0"},            {"\xC2\x80", "\\xC2\\x80"},
        {"\xC2\x9B[2J", "\\xC2\\x9B[2J"}, {"\xC2\x9F", "\\xC2\\x9F"},
        {"\xC2\xA0", "\xC2\xA0"},    {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},                       // a continuation byte in 0x80-0x9F
        {"\xC3\x9B", "\xC3\x9B"},                                 // the same inside a letter
        {"\xC2", "\xC2"},                                         // a lead byte alone
        {"\xE0\x82\x9B", "\xE0\\x82\\x9B"},                       // C1 in an overlong form
        {"a\tb\r\n", "a\\tb\\r\\n"},
    };
    for (const auto& [text, logged] : cases)
        EXPECT_EQ(log_safe(text), logged) << testing::PrintToString(text);
}

TEST_F(EventLog, OverlongMessageIsCutAtTheBufferEnd)
{
    EventLogCapture log;
    std::string huge(10000, 'x');
    log_event_f(LOG_WARNING, 0, "%s\n", huge.c_str());
    EXPECT_EQ(log.text(), std::string(LOG_WARNING) + std::string(EVENT_LOG_STRING_SIZE - 1, 'x'));
}

TEST_F(EventLog, NoStreamStillEchoes)
{
    FILE* saved = dazed_fout;
    dazed_fout = nullptr;
    std::string shown = console_of([] { log_dazed_event(nullptr, LOG_ERROR, "x\n", 1); });
    dazed_fout = saved;
    EXPECT_EQ(shown, "x\n");
}

} // namespace
