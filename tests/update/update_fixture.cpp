#include "update_fixture.h"

#include "app/event_log.h"
#include "app/run_flags.h"
#include "inventory/nic_info.h"

#include <stdio_ext.h>
#include <unistd.h>

#include <stdexcept>

namespace update_test {

CapturedLog::CapturedLog() : saved_(dazed_fout)
{
    dazed_fout = tmpfile();
    if (dazed_fout == nullptr)
        throw std::runtime_error("tmpfile failed");
}

CapturedLog::~CapturedLog()
{
    fclose(dazed_fout);
    dazed_fout = saved_;
}

std::string CapturedLog::text() const
{
    std::string out;
    fflush(dazed_fout);
    rewind(dazed_fout);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, dazed_fout)) > 0)
        out.append(buf, n);
    fseek(dazed_fout, 0, SEEK_END);
    return out;
}

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

void reset_run_state()
{
    g_iFlag = 0;
    g_ninfo.clear();
    g_nNics = 0;
    g_nDazedNICs = 0;
}

} // namespace update_test
