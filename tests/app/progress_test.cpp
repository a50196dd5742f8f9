// The progress lines on a real terminal (a pseudo-terminal): they show while
// the inventory reads the adapters and while a flash runs, and the screen
// ends exactly as a pipe's output, with the same event log.
#include "support/sim_package.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>

using namespace testing_support;

namespace {

// The screen that a terminal shows for this output: "\r" goes back to the
// line's start, ESC [ K clears to the line's end, "\n" starts the next line.
std::string screen_of(const std::string& output)
{
    std::vector<std::string> lines(1);
    size_t col = 0;
    for (size_t i = 0; i < output.size(); ++i) {
        std::string& line = lines.back();
        const char c = output[i];
        if (output.compare(i, 3, "\033[K") == 0) {
            line.resize(std::min(line.size(), col));
            i += 2;
        } else if (c == '\r') {
            col = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            col = 0;
        } else {
            if (col < line.size())
                line[col] = c;
            else
                line.push_back(c);
            ++col;
        }
    }
    std::string screen;
    for (size_t k = 0; k < lines.size(); ++k)
        screen += lines[k] + (k + 1 < lines.size() ? "\n" : "");
    return screen;
}

// The run's event log without its time stamp.
std::string log_of(const SimPackage& pkg)
{
    return std::regex_replace(read_file(pkg.file("bootutil.log")), std::regex("\n\\[[^\n]*\\]\n"), "\n[time]\n");
}

TEST(Progress, OnATerminalOnlyAndGoneWhenTheWorkEnds)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);

    // The same run through a pipe, for the text the screen must end with.
    SimPackage piped;
    piped.offer_host_nic(*nic, "flash_delay=2.5");
    RunResult through_pipe = run_dazed_fug({}, piped.path(), "y\n");
    ASSERT_EQ(through_pipe.exit_status, 0) << through_pipe.out;
    EXPECT_FALSE(contains(through_pipe.out, "Flashing") || contains(through_pipe.out, "Reading adapter"));

    SimPackage pkg;
    pkg.offer_host_nic(*nic, "flash_delay=2.5");
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(pkg.path().c_str()) != 0)
            _exit(127);
        exec_or_exit(dazed_fug_command({}));
    }
    std::string output;
    bool answered = false;
    const std::string flashing = "Flashing " + nic->name + " (MAC " + nic->mac + ") ... ";
    std::vector<std::string> seen_while_flashing;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        struct pollfd p {terminal, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&p, 1, 200) < 0)
            break;
        char buf[4096];
        ssize_t n = (p.revents & (POLLIN | POLLHUP)) ? read(terminal, buf, sizeof buf) : 0;
        if (n < 0)
            break;  // the terminal closed: the run ended
        output.append(buf, static_cast<size_t>(n));
        if (!answered && contains(output, " y/n/q (y):")) {
            ASSERT_EQ(write(terminal, "y\n", 2), 2);
            answered = true;
        }
        for (const char* elapsed : {"0:00", "0:01", "0:02"}) {
            if (contains(output, flashing + elapsed) &&
                std::find(seen_while_flashing.begin(), seen_while_flashing.end(), elapsed) == seen_while_flashing.end())
                seen_while_flashing.push_back(elapsed);
        }
    }
    int status = -1;
    waitpid(pid, &status, 0);
    close(terminal);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_TRUE(contains(output, "\r\033[KReading adapter 1 of 1 ...")) << output;
    // Refreshed while the flash ran.
    EXPECT_GE(seen_while_flashing.size(), 2u) << output;
    // The terminal echoes the answer and ends lines with "\r\n".
    std::string expected = through_pipe.out;
    expected.replace(expected.find(" y/n/q (y):"), 11, " y/n/q (y):y\n");
    EXPECT_EQ(screen_of(std::regex_replace(output, std::regex("\r\n"), "\n")), expected);
    EXPECT_EQ(log_of(pkg), log_of(piped));
}

} // namespace
