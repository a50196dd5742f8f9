#include "command_record.h"

#include "lib/host_seam.h"
#include "lib/shell.h"

namespace {

std::vector<std::string> g_recorded;

// The host seam's command hook: each command line is kept, then run.
int record_and_run(const char* command, bool shielded, const std::function<void()>& every_second)
{
    g_recorded.push_back(command != nullptr ? command : "");
    return run_shell_command(command, shielded, every_second);
}

} // namespace

namespace bench {

void start_recording()
{
    g_recorded.clear();
    g_host.run_command = record_and_run;
}

std::vector<std::string> stop_recording()
{
    g_host.run_command = production_host_seam().run_command;
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
