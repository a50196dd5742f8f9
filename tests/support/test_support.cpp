#include "support/test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir()
{
    // The fuzz runner points TMPDIR at a directory of its own, which it
    // removes even after a crash has skipped the destructors.
    const char* tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/dazed-test-XXXXXX";
    if (mkdtemp(&tmpl[0]) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    // Tests make some directories read-only; give them back before removal.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

ScopedCwd::ScopedCwd(const std::string& dir)
{
    char buf[4096];
    if (getcwd(buf, sizeof buf) == nullptr)
        throw std::runtime_error("getcwd failed");
    previous_ = buf;
    if (chdir(dir.c_str()) != 0)
        throw std::runtime_error("chdir failed: " + dir);
}

ScopedCwd::~ScopedCwd()
{
    if (chdir(previous_.c_str()) != 0) {
        // the previous directory vanished; nothing sensible to do
    }
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void make_dirs(const std::string& path)
{
    std::filesystem::create_directories(path);
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::stringstream ss(text);
    while (std::getline(ss, line))
        lines.push_back(line);
    return lines;
}

void exec_or_exit(const std::vector<std::string>& argv)
{
    std::vector<char*> raw;
    for (const std::string& a : argv)
        raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    execvp(raw[0], raw.data());
    _exit(127);
}

RunResult run_program(const std::vector<std::string>& argv, const std::string& cwd,
                      const std::string& stdin_text)
{
    TempDir io;
    const std::string in_path = io.file("stdin");
    const std::string out_path = io.file("stdout");
    const std::string err_path = io.file("stderr");
    write_file(in_path, stdin_text);

    RunResult result;
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        int in = open(in_path.c_str(), O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        exec_or_exit(argv);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.term_signal = WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

std::vector<std::string> dazed_fug_command(const std::vector<std::string>& args)
{
    // DAZED_TEST_WRAPPER (for example a valgrind command line) runs the real
    // binary under a checker; only the tests read it.
    std::vector<std::string> argv;
    if (const char* wrapper = getenv("DAZED_TEST_WRAPPER")) {
        std::istringstream words(wrapper);
        std::string word;
        while (words >> word)
            argv.push_back(word);
    }
    argv.push_back(DAZED_FUG_BINARY);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

RunResult run_dazed_fug(const std::vector<std::string>& args, const std::string& cwd,
                        const std::string& stdin_text)
{
    return run_program(dazed_fug_command(args), cwd, stdin_text);
}

BackgroundRun::BackgroundRun(const std::vector<std::string>& args, const std::string& cwd)
{
    signal(SIGPIPE, SIG_IGN);  // a run that ended must not kill the test writing to it
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0)
        throw std::runtime_error("pipe failed");
    const std::string out_path = io_.file("stdout");
    const std::string err_path = io_.file("stderr");
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(pipe_fds[0], 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        close(pipe_fds[1]);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        exec_or_exit(dazed_fug_command(args));
    }
    setpgid(pid_, pid_);  // either side may get there first
    close(pipe_fds[0]);
    input_ = pipe_fds[1];
}

BackgroundRun::~BackgroundRun()
{
    if (!waited_) {
        kill(pid_, SIGKILL);
        wait();
    }
}

bool BackgroundRun::send(const std::string& text)
{
    return input_ >= 0 && write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void BackgroundRun::close_input()
{
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

std::string BackgroundRun::output_so_far() const
{
    return read_file(io_.file("stdout"));
}

bool BackgroundRun::wait_for_output(const std::string& text, int timeout_ms) const
{
    return wait_until([&] { return output_so_far().find(text) != std::string::npos; }, timeout_ms);
}

RunResult BackgroundRun::wait()
{
    close_input();
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    RunResult result;
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.term_signal = WTERMSIG(status);
    result.out = read_file(io_.file("stdout"));
    result.err = read_file(io_.file("stderr"));
    return result;
}

bool wait_until(const std::function<bool()>& predicate, int timeout_ms)
{
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        if (predicate())
            return true;
        usleep(20 * 1000);
    }
    return predicate();
}

std::string host_unsafe_for_real_binary()
{
    for (const char* release : {"/etc/SuSE-release", "/etc/redhat-release"}) {
        if (access(release, F_OK) == 0)
            return std::string("skipped: ") + release +
                   " exists, so the real binary would stage into the host's /lib/modules";
    }
    return "";
}

std::string install_simulator(const std::string& dir, const std::string& simulator)
{
#ifdef BOOTUTIL_SIM_BINARY
    const std::string source = simulator.empty() ? BOOTUTIL_SIM_BINARY : simulator;
#else
    const std::string& source = simulator;
#endif
    const std::string target = dir + "/bootutil";
    std::error_code ec;
    if (source.empty() ||
        !std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec))
        return "";
    std::filesystem::permissions(target, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    return ec ? "" : target;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::vector<std::string> containing(const std::vector<std::string>& texts, const std::string& part)
{
    std::vector<std::string> out;
    for (const std::string& text : texts) {
        if (contains(text, part))
            out.push_back(text);
    }
    return out;
}

} // namespace testing_support
