#include "faults.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace bootutil_sim {

namespace {

bool lists(const StateLine* record, const char* key, const char* label)
{
    if (record == nullptr)
        return false;
    std::string list = "," + field_value(*record, key) + ",";
    return list.find("," + std::string(label) + ",") != std::string::npos;
}

} // namespace

bool omits(const StateLine* record, const char* label)
{
    return lists(record, "omit", label);
}

void write_stderr_if_asked(const StateLine* record, const char* label)
{
    if (!lists(record, "stderr_on", label))
        return;
    fflush(stdout);  // after what the command printed so far
    fprintf(stderr, "bootutil-sim: a message on standard error (%s, NIC %s)\n", label,
            field_value(*record, "nic").c_str());
}

void delay_by(const StateLine& record, const char* key)
{
    if (!has_field(record, key))
        return;
    double seconds = strtod(field_value(record, key).c_str(), nullptr);
    struct timespec left;
    left.tv_sec = static_cast<time_t>(seconds);
    left.tv_nsec = static_cast<long>((seconds - static_cast<double>(left.tv_sec)) * 1e9);
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void die_by_signal_if_asked(const StateLine& record)
{
    if (!has_field(record, "flash_signal"))
        return;
    int sig = atoi(field_value(record, "flash_signal").c_str());
    // Whatever was printed so far must reach the output file first.
    fflush(nullptr);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    kill(getpid(), sig);
    _exit(128 + sig);
}

} // namespace bootutil_sim
