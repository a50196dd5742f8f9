#include "tool/shell.h"

#include "lib/host_seam.h"
#include "lib/interrupts.h"
#include "tool/child_start.h"

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// In the vfork child, before exec: only system calls, nothing that writes
// the memory it shares with the parent. The parent's handlers are still
// installed and would run on that memory, so every caught signal goes back
// to its default first (an ignored one stays ignored), and only then is the
// mask, blocked by the parent for the fork, cleared.
[[noreturn]] void start_shell(const char* command, bool shielded, const sigset_t& termination, char* const* envp)
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
    if (!prepare_child_process())
        _exit(127);
    char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command), nullptr};
    execve("/bin/sh", argv, envp);
    _exit(127);
}

} // namespace

int run_shell_command(const char* command, bool shielded, const std::function<void()>& every_second)
{
    if (command == nullptr)
        return 255;
    const ChildEnvironment environment(environ);
    const sigset_t termination = termination_signal_set();
    // vfork rather than fork: a fork copies the page tables of the whole
    // process for every command line, which makes each command slower the
    // more memory the run holds (a large catalog doubled it).
    sigset_t all, previous;
    sigfillset(&all);
    if (sigprocmask(SIG_BLOCK, &all, &previous) != 0)
        return 255;
    pid_t child = vfork();
    if (child == 0)
        start_shell(command, shielded, termination, environment.envp());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0)
        return 255;
    // A termination signal that arrives meanwhile is only recorded; the
    // wait goes on until the command has ended.
    int status = 0;
    if (every_second) {
        // Looked at ten times a second, so that the caller can show progress.
        for (int tenths = 0;; ++tenths) {
            pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child)
                break;
            if (done < 0 && errno != EINTR)
                return 255;
            if (tenths > 0 && tenths % 10 == 0)
                every_second();
            struct timespec tenth {0, 100 * 1000 * 1000};
            nanosleep(&tenth, nullptr);
        }
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
    return g_host.run_command != nullptr ? g_host.run_command(command, false) : run_shell_command(command, false);
}

int do_command_shielded(const std::string& command, const std::function<void()>& every_second)
{
    return g_host.run_command != nullptr ? g_host.run_command(command.c_str(), true)
                                         : run_shell_command(command.c_str(), true, every_second);
}

bool do_command_unless_interrupted(const std::string& command)
{
    if (interrupted())
        return false;
    do_command(command);
    return !interrupted();
}
