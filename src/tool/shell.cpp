#include "tool/shell.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

int do_command(const char* command)
{
    if (command == nullptr)
        return 255;
    pid_t child = fork();
    if (child < 0)
        return 255;
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
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
