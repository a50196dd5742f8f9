// bootutil-sim: a stand-in for the vendor flash tool. It answers the
// command forms the program gives from a host state kept in a text file,
// and logs every invocation so that tests can check the command lines.
#include "command_line.h"
#include "commands.h"
#include "invocation_log.h"
#include "sim_paths.h"

#include <cstdio>

int main(int argc, char** argv)
{
    using namespace bootutil_sim;
    const std::string state_path = state_file_path();
    const std::string log_path = log_file_path(state_path);
    if (!append_invocation(log_path, invocation_log_line(argc, argv, parent_shell_command())))
        fprintf(stderr, "bootutil-sim: cannot append to %s\n", log_path.c_str());

    int code = run_command(parse_command_line(argc, argv), state_path);
    fflush(stdout);
    return code;
}
