#include "timing.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace bench {

double now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::vector<double> time_calls(int repeats, const std::function<void()>& call)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        double start = now_ms();
        call();
        times.push_back(now_ms() - start);
    }
    return times;
}

double time_script(const std::string& script, int* exit_code)
{
    double start = now_ms();
    pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        execl("/bin/sh", "sh", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    double elapsed = now_ms() - start;
    if (!WIFEXITED(status))
        return -1;
    if (exit_code != nullptr)
        *exit_code = WEXITSTATUS(status);
    return elapsed;
}

double own_cpu_ms()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

long peak_rss_self_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long peak_rss_children_kib()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

} // namespace bench
