#include "lib/interrupts.h"


#include <poll.h>
#include <signal.h>

#include <cerrno>

namespace {

volatile sig_atomic_t g_interrupt_signal = 0;
// The signals this process handles: those not ignored when it started.
bool g_handled[NSIG] = {};

struct SignalName {
    int sig;
    const char* name;
};

const SignalName kTerminationSignals[] = {
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
    {SIGHUP, "SIGHUP"},
    {SIGQUIT, "SIGQUIT"},
};

void record_signal(int sig)
{
    if (g_interrupt_signal == 0)
        g_interrupt_signal = sig;
}

} // namespace

sigset_t termination_signal_set()
{
    sigset_t set;
    sigemptyset(&set);
    for (const SignalName& s : kTerminationSignals)
        sigaddset(&set, s.sig);
    return set;
}

void install_interrupt_handlers()
{
    struct sigaction action {};
    action.sa_handler = record_signal;
    // Every other signal is held while the handler runs, so the first one
    // recorded stays the one named. SA_RESTART keeps writes and waitpid
    // going; the one wait that must end, the prompt's, is a ppoll, which a
    // signal always ends.
    action.sa_mask = termination_signal_set();
    action.sa_flags = SA_RESTART;
    // A signal ignored at start stays ignored (nohup, a background job of a
    // script): whoever started the run chose that it must survive it. The
    // flash tool inherits the choice.
    for (const SignalName& s : kTerminationSignals) {
        struct sigaction current {};
        if (sigaction(s.sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        g_handled[s.sig] = sigaction(s.sig, &action, nullptr) == 0;
    }
    // A console that went away (dazed-fug -c | head -1) must not kill the
    // run with the module staged: such writes just fail (and end -c, whose
    // table is its result, with an error).
    signal(SIGPIPE, SIG_IGN);
}

int interrupt_signal()
{
    return g_interrupt_signal;
}

const char* interrupt_signal_name(int sig)
{
    for (const SignalName& s : kTerminationSignals) {
        if (s.sig == sig)
            return s.name;
    }
    return "signal";
}

InputWait wait_for_input(int fd)
{
    const sigset_t held = termination_signal_set();
    sigset_t previous;
    if (sigprocmask(SIG_BLOCK, &held, &previous) != 0)
        return InputWait::FAILED;

    int rc = 0;
    if (!interrupted()) {
        struct pollfd input {};
        input.fd = fd;
        input.events = POLLIN;
        // The signals get in only while ppoll waits: one that came after the
        // check above ends the wait at once.
        do {
            rc = ppoll(&input, 1, nullptr, &previous);
        } while (rc < 0 && errno == EINTR && !interrupted());
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    if (interrupted())
        return InputWait::INTERRUPTED;
    return rc > 0 ? InputWait::READY : InputWait::FAILED;
}

void reset_interrupts()
{
    for (const SignalName& s : kTerminationSignals) {
        if (g_handled[s.sig])
            signal(s.sig, SIG_DFL);
        g_handled[s.sig] = false;
    }
    signal(SIGPIPE, SIG_DFL);
    g_interrupt_signal = 0;
}
