#pragma once

#include <signal.h>

// SIGINT, SIGTERM, SIGHUP and SIGQUIT do not end the process: the handler
// only records the signal, and the run polls for it between its steps. Once
// one has arrived nothing more is judged or flashed, the flash driver is put
// back and the run ends with a logged result. Killing the process instead
// would leave the staged module in the kernel's module tree. SIGPIPE is
// ignored for the same reason.
void install_interrupt_handlers();

// The termination signals: SIGINT, SIGTERM, SIGHUP and SIGQUIT. The
// handlers, the critical section and the shielded commands all take them
// from here.
sigset_t termination_signal_set();

// The first termination signal received, or 0.
int interrupt_signal();
inline bool interrupted()
{
    return interrupt_signal() != 0;
}

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT"; "signal" for any other.
const char* interrupt_signal_name(int sig);

enum class InputWait { READY, INTERRUPTED, FAILED };

// Waits until fd has input, or a termination signal arrives. A signal that
// arrived just before the wait ends it too, instead of leaving the run
// blocked until the next line of input.
InputWait wait_for_input(int fd);

// Default dispositions and no signal recorded; for tests that run more than
// once in one process.
void reset_interrupts();
