#include "tool/shell.h"

#include "tool/child_start.h"

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

int run_shell(const char* command, bool shielded)
{
    if (command == nullptr)
        return 255;
    const ChildEnvironment environment(environ);
    pid_t child = fork();
    if (child < 0)
        return 255;
    if (child == 0) {
        // An ignored signal stays ignored across exec, for the shell and
        // the tool it starts.
        if (shielded) {
            for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
                signal(sig, SIG_IGN);
        }
        // The program ignores SIGPIPE for itself; pipelines need it back.
        signal(SIGPIPE, SIG_DFL);
        if (!prepare_child_process())
            _exit(127);
        char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command),
                              nullptr};
        execve("/bin/sh", argv, environment.envp());
        _exit(127);
    }
    // A termination signal that arrives meanwhile is only recorded; the
    // wait goes on until the command has ended.
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return 255;
    }
    // A shell killed by a signal has no exit code; report it the way shells
    // do rather than as the 0 that the status bits would give.
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return (status >> 8) & 0xFF;
}

} // namespace

int do_command(const char* command)
{
    return run_shell(command, false);
}

int do_command_shielded(const std::string& command)
{
    return run_shell(command.c_str(), true);
}
