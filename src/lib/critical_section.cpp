#include "lib/critical_section.h"

#include "lib/interrupts.h"

CriticalSection::CriticalSection()
{
    const sigset_t held = termination_signal_set();
    blocked_ = sigprocmask(SIG_BLOCK, &held, &previous_) == 0;
}

CriticalSection::~CriticalSection()
{
    if (blocked_)
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
}
