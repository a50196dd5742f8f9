#include "lib/shell.h"

#include "lib/child_start.h"
#include "lib/host_seam.h"
#include "lib/interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

void (*g_command_stderr_relay)(const char* data, size_t size) = nullptr;

namespace {

// In the vfork child, before exec: only system calls, nothing that writes
// the memory it shares with the parent. The parent's handlers are still
// installed and would run on that memory, so every caught signal goes back
// to its default first (an ignored one stays ignored), and only then is the
// mask, blocked by the parent for the fork, cleared.
[[noreturn]] void start_shell(const char* command, bool shielded, const sigset_t& termination, char* const* envp,
                              int stderr_fd)
{
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sigismember(&termination, sig) != 1)
            continue;
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        if (shielded)
            signal(sig, SIG_IGN);
        else if (current.sa_handler != SIG_IGN)
            signal(sig, SIG_DFL);
    }
    // The program ignores SIGPIPE for itself; pipelines need it back.
    signal(SIGPIPE, SIG_DFL);
    if (stderr_fd >= 0 && dup2(stderr_fd, STDERR_FILENO) < 0)
        _exit(127);
    if (!prepare_child_process())
        _exit(127);
    char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command), nullptr};
    execve("/bin/sh", argv, envp);
    _exit(127);
}

// The read end of a pipe that stands in for a command's standard error
// while a relay is set, so that nothing the command writes lands next to a
// status line: each piece goes out through g_command_stderr_relay.
class StderrRelay {
public:
    StderrRelay()
    {
        if (g_command_stderr_relay != nullptr && pipe2(fds_, O_CLOEXEC) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~StderrRelay()
    {
        close_end(fds_[0]);
        close_end(fds_[1]);
    }
    StderrRelay(const StderrRelay&) = delete;
    StderrRelay& operator=(const StderrRelay&) = delete;

    int write_end() const { return fds_[1]; }
    int read_end() const { return fds_[0]; }
    // After the fork: only the child writes.
    void parent_side()
    {
        close_end(fds_[1]);
        if (fds_[0] >= 0)
            fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    // Relays what can be read now; at the end of the pipe, stops reading.
    void pass_on()
    {
        char buf[4096];
        while (fds_[0] >= 0) {
            ssize_t n = read(fds_[0], buf, sizeof buf);
            if (n > 0) {
                g_command_stderr_relay(buf, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || errno != EAGAIN)
                close_end(fds_[0]);
            return;
        }
    }

private:
    static void close_end(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

double seconds_now()
{
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Waits for the child, looking ten times a second at its standard error (if
// relayed) and calling every_second (if given) about once a second.
// False when the wait itself failed.
bool wait_watching(pid_t child, int& status, StderrRelay& relay, const std::function<void()>& every_second)
{
    double next_second = seconds_now() + 1.0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            return false;
        if (relay.read_end() < 0 && !every_second) {
            // Its standard error has ended; only its own end is left.
            while (waitpid(child, &status, 0) < 0) {
                if (errno != EINTR)
                    return false;
            }
            break;
        }
        struct pollfd p {relay.read_end(), POLLIN, 0};
        if (poll(&p, 1, 100) > 0)
            relay.pass_on();
        if (every_second && seconds_now() >= next_second) {
            next_second += 1.0;
            every_second();
        }
    }
    // What is left in the pipe; a process the command left behind may keep
    // it open, so nothing waits for its end.
    relay.pass_on();
    return true;
}

} // namespace

int run_shell_command(const char* command, bool shielded, const std::function<void()>& every_second)
{
    if (command == nullptr)
        return 255;
    const ChildEnvironment environment(environ);
    const sigset_t termination = termination_signal_set();
    StderrRelay relay;
    // vfork rather than fork: a fork copies the page tables of the whole
    // process for every command line, which makes each command slower the
    // more memory the run holds (a large catalog doubled it).
    sigset_t all, previous;
    sigfillset(&all);
    if (sigprocmask(SIG_BLOCK, &all, &previous) != 0)
        return 255;
    pid_t child = vfork();
    if (child == 0)
        start_shell(command, shielded, termination, environment.envp(), relay.write_end());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    relay.parent_side();
    if (child < 0)
        return 255;
    // A termination signal that arrives meanwhile is only recorded; the
    // wait goes on until the command has ended.
    int status = 0;
    if (every_second || relay.read_end() >= 0) {
        if (!wait_watching(child, status, relay, every_second))
            return 255;
    } else {
        while (waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return 255;
        }
    }
    // A shell killed by a signal has no exit code; report it the way shells
    // do rather than as the 0 that the status bits would give.
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return (status >> 8) & 0xFF;
}

int do_command(const char* command)
{
    return g_host.run_command(command, false, {});
}

int do_command_shielded(const std::string& command, const std::function<void()>& every_second)
{
    return g_host.run_command(command.c_str(), true, every_second);
}

bool do_command_unless_interrupted(const std::string& command)
{
    if (interrupted())
        return false;
    do_command(command);
    return !interrupted();
}
