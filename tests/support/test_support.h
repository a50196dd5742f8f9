#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Changes the working directory for the life of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::string previous_;
};

struct RunResult {
    int exit_status = -1;   // exit code, or -1 when killed by a signal
    int term_signal = 0;
    std::string out;
    std::string err;
};

// In a forked child: runs argv (argv[0] is the program, found on PATH);
// exits 127 if it cannot.
[[noreturn]] void exec_or_exit(const std::vector<std::string>& argv);

// Runs a program with the given arguments (argv[0] is the program) in cwd,
// feeding stdin_text (or nothing: standard input is then at end of file).
RunResult run_program(const std::vector<std::string>& argv, const std::string& cwd,
                      const std::string& stdin_text = "");

// The command line that runs the real binary with these arguments (under
// the checker that DAZED_TEST_WRAPPER names, if any).
std::vector<std::string> dazed_fug_command(const std::vector<std::string>& args);

// Runs the real dazed-fug binary in cwd with the given arguments.
RunResult run_dazed_fug(const std::vector<std::string>& args, const std::string& cwd,
                        const std::string& stdin_text = "");

// The real dazed-fug binary running in the background, its standard input a
// pipe that the test writes to (so that it can be held at a prompt). It
// leads its own process group, so that kill(-pid()) reaches the run and its
// commands together, as a terminal's interrupt does.
class BackgroundRun {
public:
    BackgroundRun(const std::vector<std::string>& args, const std::string& cwd);
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    int pid() const { return pid_; }
    bool send(const std::string& text);  // false when the run no longer reads
    void close_input();
    std::string output_so_far() const;
    // Polls the standard output until it contains the text; false on timeout.
    bool wait_for_output(const std::string& text, int timeout_ms = 10000) const;
    RunResult wait();

private:
    TempDir io_;
    int pid_ = -1;
    int input_ = -1;
    bool waited_ = false;
};

// Polls until the predicate holds; false on timeout.
bool wait_until(const std::function<bool()>& predicate, int timeout_ms = 10000);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
void make_dirs(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);
bool contains(const std::string& text, const std::string& part);
bool ends_with(const std::string& text, const std::string& end);
// How often part stands in text.
size_t count(const std::string& text, const std::string& part);
// The texts that contain part, in order.
std::vector<std::string> containing(const std::vector<std::string>& texts, const std::string& part);

// Reason to skip a test that runs the real binary: the binary stages the
// flash driver under the real /lib/modules when a distribution release file
// exists, and tests never touch the host.
std::string host_unsafe_for_real_binary();

// Installs the flash-tool simulator (the one built with the tests unless
// another is named) as ./bootutil in dir; gives its path, or "" when there
// is none.
std::string install_simulator(const std::string& dir, const std::string& simulator = "");

} // namespace testing_support

// Skips the test when running the real binary could touch the host.
#define SKIP_IF_HOST_UNSAFE()                                                   \
    do {                                                                        \
        std::string reason_ = testing_support::host_unsafe_for_real_binary();   \
        if (!reason_.empty())                                                   \
            GTEST_SKIP() << reason_;                                            \
    } while (0)
