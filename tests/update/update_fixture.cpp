#include "update_fixture.h"

#include "inventory/nic_info.h"
#include "lib/run_state.h"
#include "log/event_log.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <stdexcept>

namespace update_test {

ScopedStdin::ScopedStdin(const std::string& text)
{
    const std::string path = dir_.file("stdin");
    testing_support::write_file(path, text);
    saved_fd_ = dup(STDIN_FILENO);
    // freopen drops whatever stdin had buffered and keeps fd 0.
    if (saved_fd_ < 0 || freopen(path.c_str(), "r", stdin) == nullptr)
        throw std::runtime_error("cannot redirect standard input");
    clearerr(stdin);
}

ScopedStdin::~ScopedStdin()
{
    __fpurge(stdin);
    dup2(saved_fd_, STDIN_FILENO);
    close(saved_fd_);
    clearerr(stdin);
}


} // namespace update_test
