#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

double now_ms();
double median(std::vector<double> values);

// Wall time of each of `repeats` calls, in milliseconds.
std::vector<double> time_calls(int repeats, const std::function<void()>& call);

// Runs `/bin/sh script` in the working directory and waits. Returns the wall
// time in milliseconds, or a negative value when sh did not exit normally;
// the exit code goes to *exit_code when given.
double time_script(const std::string& script, int* exit_code = nullptr);

// CPU time (user and system) this process has used, in milliseconds; its
// commands are not counted.
double own_cpu_ms();

// Peak resident set sizes in KiB: this process, and the largest of the
// children waited for so far.
long peak_rss_self_kib();
long peak_rss_children_kib();

} // namespace bench
