#include "support/piped_stdin.h"

#include "support/test_support.h"

#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

PipedStdin::PipedStdin()
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    read_end_ = fds[0];
    write_end_ = fds[1];
    saved_ = dup(STDIN_FILENO);
    if (saved_ < 0 || dup2(read_end_, STDIN_FILENO) < 0)
        throw std::runtime_error("cannot redirect standard input");
}

PipedStdin::~PipedStdin()
{
    close(write_end_);
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    close(read_end_);
    clearerr(stdin);
}

bool PipedStdin::send(const std::string& text)
{
    return write(write_end_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool PipedStdin::drained() const
{
    int unread = -1;
    return ioctl(read_end_, FIONREAD, &unread) == 0 && unread == 0;
}

bool thread_waits_in_ppoll(pid_t tid)
{
    // The first word is the number of the call the thread is blocked in, or
    // "running".
    const std::string syscall = read_file("/proc/self/task/" + std::to_string(tid) + "/syscall");
    char* end = nullptr;
    const long number = strtol(syscall.c_str(), &end, 10);
    if (end == syscall.c_str())
        return false;
#ifdef SYS_ppoll_time64
    if (number == SYS_ppoll_time64)
        return true;
#endif
    return number == SYS_ppoll;
}

} // namespace testing_support
