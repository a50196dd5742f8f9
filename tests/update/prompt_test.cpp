// The operator's answer: words, defaults, end of input and overlong lines.
#include "update/prompt.h"

#include "lib/run_state.h"
#include "support/event_log_capture.h"
#include "support/piped_stdin.h"
#include "update_fixture.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

using testing_support::EventLogCapture;
using update_test::ScopedStdin;
using testing_support::PipedStdin;
using testing_support::thread_waits_in_ppoll;
using testing_support::wait_until;
using Prompt = update_test::UpdateTest;

// Asks "Q?" once per entry of defaults on the given input; gives the answers.
std::vector<int> ask(const std::string& input, const std::vector<int>& defaults, std::string* console = nullptr)
{
    ScopedStdin in(input);
    testing::internal::CaptureStdout();
    std::vector<int> answers;
    for (int d : defaults)
        answers.push_back(nfwu_yesno("Q?", ANSWER_NO, ANSWER_YES, d, d == ANSWER_YES ? "y" : "n"));
    fflush(stdout);
    std::string shown = testing::internal::GetCapturedStdout();
    if (console != nullptr)
        *console = shown;
    return answers;
}

enum Expect { DEFAULT, YES, NO, QUIT };

TEST_F(Prompt, AnswerWords)
{
    const std::pair<const char*, Expect> cases[] = {
        // A single character at the end of input is the answer it spells.
        {"\n", DEFAULT}, {"y", YES},       {"n", NO},       {"q", QUIT},      {"\n\n", DEFAULT}, {"y\n", YES},     {"Y\n", YES},
        {"yes\n", YES},  {"Yes\n", YES},   {"YES\n", YES},  {"yes", YES},      {"y\nq\n", YES},  {"yEs\n", NO},
        {"YEs\n", NO},   {" y\n", NO},     {"y \n", NO},    {"y\r\n", NO},     {"n\n", NO},      {"no\n", NO},
        {"q\n", QUIT},   {"Q\n", QUIT},    {"Quit\n", QUIT}, {"QUIT\n", QUIT}, {"quit\n", QUIT}, {"qUIT\n", NO},
        {"quit!\n", NO},
    };
    for (const auto& [input, expect] : cases) {
        for (int dflt : {ANSWER_YES, ANSWER_NO}) {
            int wanted = expect == DEFAULT ? dflt
                         : expect == YES   ? ANSWER_YES
                         : expect == NO    ? ANSWER_NO
                                           : ANSWER_QUIT;
            EXPECT_EQ(ask(input, {dflt}), std::vector<int>{wanted}) << "input '" << input << "' default " << dflt;
        }
    }
}

TEST_F(Prompt, PromptAndLoggedLineAsRead)
{
    const struct {
        const char* input;
        const char* console;
        const char* log;
    } cases[] = {
        {"yEs\n", "Q? y/n/q (y):", "[INFO]   :Q? y/n/q (y): yEs\n\n"},
        {"\n", "Q? y/n/q (y):", "[INFO]   :Q? y/n/q (y): \n\n"},
        {"y", "Q? y/n/q (y):", "[INFO]   :Q? y/n/q (y): y\n"},
        // Control characters of an answer are logged escaped.
        {"y\r\x1b[2J\n", "Q? y/n/q (y):", "[INFO]   :Q? y/n/q (y): y\\r\\x1B[2J\n\n"},
        {"", "Q? y/n/q (y):Unknown input problem!\nQuit...\n", ""},
    };
    for (const auto& c : cases) {
        EventLogCapture log;
        std::string console;
        ask(c.input, {ANSWER_YES}, &console);
        EXPECT_EQ(console, c.console) << c.input;
        EXPECT_EQ(log.text(), c.log) << c.input;
    }
}

TEST_F(Prompt, EndOfInputQuitsEveryLaterQuestion)
{
    EXPECT_EQ(ask("y\n\nq\n", {ANSWER_NO, ANSWER_NO, ANSWER_YES, ANSWER_YES}),
              (std::vector<int>{ANSWER_YES, ANSWER_NO, ANSWER_QUIT, ANSWER_QUIT}));
}

TEST_F(Prompt, SilentNeitherShowsNorReadsNorLogs)
{
    const std::pair<uint32_t, int> cases[] = {
        {RUN_SILENT, ANSWER_NO},
        {RUN_SILENT | RUN_FORCE, ANSWER_QUIT},
    };
    for (const auto& [flags, wanted] : cases) {
        g_iFlag = flags;
        EventLogCapture log;
        ScopedStdin in("y\n");
        testing::internal::CaptureStdout();
        EXPECT_EQ(nfwu_yesno("Q?", ANSWER_NO, ANSWER_QUIT, ANSWER_YES, "y"), wanted);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(log.text(), "");
        g_iFlag = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(nfwu_yesno("Q?", ANSWER_NO, ANSWER_NO, ANSWER_NO, "n"), ANSWER_YES) << "input left unread";
        testing::internal::GetCapturedStdout();
    }
}

// A line longer than the read buffer is one answer, no, and its tail is
// dropped: a stray "y" (or a bare line end) in it must never answer the
// next question.
TEST_F(Prompt, OverlongLineIsOneNoAndItsTailIsDropped)
{
    const size_t max = ANSWER_LINE_SIZE - 1;
    const struct {
        std::string input;
        std::vector<int> answers;  // defaults are yes
    } cases[] = {
        {std::string(max, 'a') + "y\nn\n", {ANSWER_NO, ANSWER_NO, ANSWER_QUIT}},
        {std::string(max, 'a') + "\nn\n", {ANSWER_NO, ANSWER_NO, ANSWER_QUIT}},
        {std::string(max, 'y') + "yyyy\nq\n", {ANSWER_NO, ANSWER_QUIT}},
        {std::string(3 * max, 'a') + "y", {ANSWER_NO, ANSWER_QUIT}},
        {std::string(max - 1, 'a') + "\ny\n", {ANSWER_NO, ANSWER_YES, ANSWER_QUIT}},
        {std::string(max, 'a'), {ANSWER_NO, ANSWER_QUIT}},
    };
    for (const auto& c : cases) {
        EventLogCapture log;
        std::vector<int> defaults(c.answers.size(), ANSWER_YES);
        EXPECT_EQ(ask(c.input, defaults), c.answers) << "line of " << c.input.find('\n') << " characters";
        std::string text = log.text();
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n') << "the log entry keeps its line end";
    }
}

// The prompt has no line end, so it must be flushed before the program
// waits for the answer: nothing of it may still sit in stdout's buffer while
// the prompt waits.
TEST_F(Prompt, PromptVisibleBeforeTheWait)
{
    PipedStdin input;
    const pid_t asking = gettid();
    size_t pending_while_waiting = SIZE_MAX;
    std::thread operator_at_terminal([&] {
        if (wait_until([&] { return thread_waits_in_ppoll(asking); }))
            pending_while_waiting = __fpending(stdout);
        input.send("y\n");
    });
    testing::internal::CaptureStdout();
    int answer = nfwu_yesno("Q?", ANSWER_NO, ANSWER_NO, ANSWER_NO, "n");
    std::string shown = testing::internal::GetCapturedStdout();
    operator_at_terminal.join();

    EXPECT_EQ(answer, ANSWER_YES);
    EXPECT_EQ(pending_while_waiting, 0u);
    EXPECT_EQ(shown, "Q? y/n/q (n):");
}

} // namespace
