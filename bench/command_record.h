#pragma once

#include <string>
#include <vector>

namespace bench {

// The benchmark is linked with do_command wrapped (see CMakeLists.txt), so
// that every command line the program hands to the shell can be recorded
// exactly as it ran, in order.
void start_recording();
std::vector<std::string> stop_recording();

// A plain sh script running the same lines in the same order.
std::string plain_script(const std::vector<std::string>& lines);

} // namespace bench
