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
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>

using namespace testing_support;

namespace {

// The screen that a terminal columns wide shows for this output: "\r" goes
// back to the line's start, "\n" starts the next line, ESC 7 and ESC 8 save
// and restore the cursor, ESC [ K clears to the line's end, ESC [ ? 7 l and
// h turn line wrap off and on; anything else takes a cell (a tab one).
std::string screen_of(const std::string& output, size_t columns)
{
    std::vector<std::string> lines(1);
    size_t row = 0, col = 0, saved_row = 0, saved_col = 0;
    bool wrap = true;
    for (size_t i = 0; i < output.size(); ++i) {
        auto escape = [&](const std::string& seq) {
            const bool found = output.compare(i, seq.size(), seq) == 0;
            i += found ? seq.size() - 1 : 0;
            return found;
        };
        if (escape("\0337")) {
            saved_row = row, saved_col = col;
        } else if (escape("\0338")) {
            row = saved_row, col = saved_col;
        } else if (escape("\033[K")) {
            lines[row].resize(std::min(lines[row].size(), col));
        } else if (escape("\033[?7l") || escape("\033[?7h")) {
            wrap = output[i] == 'h';
        } else if (output[i] == '\r') {
            col = 0;
        } else {
            if (output[i] == '\n' || (col >= columns && wrap)) {
                col = 0;
                if (++row == lines.size())
                    lines.emplace_back();
                if (output[i] == '\n')
                    continue;
            }
            col = std::min(col, columns - 1);
            lines[row].resize(std::max(lines[row].size(), col + 1), ' ');
            lines[row][col++] = output[i];
        }
    }
    std::string screen = lines[0];
    for (size_t k = 1; k < lines.size(); ++k)
        screen += "\n" + lines[k];
    return screen;
}

// The run's event log without its time stamp.
std::string log_of(const SimPackage& pkg)
{
    return std::regex_replace(read_file(pkg.file("bootutil.log")), std::regex("\n\\[[^\n]*\\]\n"), "\n[time]\n");
}

// Runs the program in dir at a terminal columns wide, answering y when asked
// (typed, or from the file "answers"); out is what the terminal was sent.
RunResult run_at_terminal(const std::string& dir, bool echo, bool typed, unsigned short columns)
{
    RunResult run;
    struct winsize size {24, columns, 0, 0};
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    if (pid == 0) {
        struct termios mode {};
        if (chdir(dir.c_str()) != 0 || tcgetattr(STDIN_FILENO, &mode) != 0)
            _exit(127);
        mode.c_lflag = echo ? (mode.c_lflag | ECHO) : (mode.c_lflag & ~static_cast<tcflag_t>(ECHO));
        if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0 || (!typed && freopen("answers", "r", stdin) == nullptr))
            _exit(127);
        exec_or_exit(dazed_fug_command({}));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (bool answered = !typed; pid > 0 && std::chrono::steady_clock::now() < deadline;) {
        struct pollfd p {terminal, POLLIN, 0};
        char buf[4096];
        ssize_t n = poll(&p, 1, 200) > 0 ? read(terminal, buf, sizeof buf) : 0;
        if (n < 0)
            break;  // the terminal closed: the run ended
        run.out.append(buf, static_cast<size_t>(n));
        if (!answered && contains(run.out, " y/n/q (y):"))
            answered = write(terminal, "y\n", 2) == 2;
    }
    int status = -1;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exit_status = WEXITSTATUS(status);
    close(terminal);
    return run;
}

// The status lines show while the inventory reads the adapters and while a
// flash runs; the screen ends with exactly the text the program and the tool
// wrote, whatever the terminal echoes, and the event log is a pipe run's.
TEST(Progress, OnATerminalOnlyAndGoneWhenTheWorkEnds)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);

    const struct {
        const char* name;
        bool echo;
        bool typed;  // false: from a file
        unsigned short columns;
        const char* keys;
        int exit_status;
    } cases[] = {
        {"echo on", true, true, 80, "flash_delay=2.5", 0},
        {"echo off", false, true, 80, "flash_delay=1.1", 0},
        {"answers from a file", true, false, 80, "flash_delay=1.1", 0},
        // Narrower than the status lines; the tool writes to its standard
        // error during the listing, the reports and the flash.
        {"tool messages, narrow terminal", false, true, 30, "flash_delay=1.1 stderr_on=list,iv,flash", 0},
        // Said while the inventory's status line is up.
        {"adapter left out", true, true, 80, "combo=12.3.4", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The same run through pipes, for the text the screen must end with.
        SimPackage piped;
        piped.offer_host_nic(*nic, c.keys);
        RunResult through_pipe = run_dazed_fug({}, piped.path(), "y\n");
        ASSERT_EQ(through_pipe.exit_status, c.exit_status) << through_pipe.out;
        EXPECT_FALSE(contains(through_pipe.out, "Flashing") || contains(through_pipe.out, "Reading adapter"));

        SimPackage pkg;
        pkg.offer_host_nic(*nic, c.keys);
        write_file(pkg.file("answers"), "y\n");
        RunResult run = run_at_terminal(pkg.path(), c.echo, c.typed, c.columns);

        EXPECT_EQ(run.exit_status, c.exit_status) << run.out;
        EXPECT_TRUE(contains(run.out, "Reading adapter 1 of 1 ...")) << run.out;
        // Shown while the flash ran, refreshed every second.
        size_t shown = 0;
        for (const char* elapsed : {"0:00", "0:01", "0:02"})
            shown += contains(run.out, "Flashing " + nic->name + " (MAC " + nic->mac + ") ... " + elapsed);
        EXPECT_TRUE(c.exit_status != 0 ? shown == 0 : shown >= (c.echo && c.typed ? 2u : 1u)) << run.out;
        // The tool's messages all come before the program's first line.
        std::string expected = through_pipe.err + through_pipe.out;
        if (c.echo && c.typed && c.exit_status == 0)
            expected.replace(expected.find(" y/n/q (y):"), 11, " y/n/q (y):y\n");
        EXPECT_EQ(screen_of(std::regex_replace(run.out, std::regex("\r\n"), "\n"), c.columns),
                  screen_of(expected, c.columns));
        EXPECT_EQ(log_of(pkg), log_of(piped));
        EXPECT_EQ(contains(read_file(pkg.file("out.txt")), "bootutil-sim: a message on standard error (flash"),
                  contains(c.keys, "stderr_on"));
    }
}

} // namespace
