#include "command_record.h"

namespace {

bool g_recording = false;
std::vector<std::string> g_recorded;

} // namespace

// The mangled name of int do_command(const char*), which the linker's --wrap
// redirects here; the std::string overload is inline and lands here too.
extern "C" int __real__Z10do_commandPKc(const char* command);

extern "C" int __wrap__Z10do_commandPKc(const char* command)
{
    if (g_recording)
        g_recorded.push_back(command != nullptr ? command : "");
    return __real__Z10do_commandPKc(command);
}

namespace bench {

void start_recording()
{
    g_recorded.clear();
    g_recording = true;
}

std::vector<std::string> stop_recording()
{
    g_recording = false;
    return std::move(g_recorded);
}

std::string plain_script(const std::vector<std::string>& lines)
{
    std::string script = "#!/bin/sh\n";
    for (const std::string& line : lines) {
        script += line;
        if (line.empty() || line.back() != '\n')
            script += '\n';
    }
    return script;
}

} // namespace bench
