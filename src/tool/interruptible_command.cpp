// Apart from shell.cpp on purpose: calls from another object file go through
// the do_command symbol, which the benchmark wraps at link time to record
// every command line.
#include "tool/shell.h"

#include "app/interrupts.h"

bool do_command_unless_interrupted(const std::string& command)
{
    if (interrupted())
        return false;
    do_command(command);
    return !interrupted();
}
