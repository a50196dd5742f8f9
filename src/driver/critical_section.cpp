#include "driver/critical_section.h"

#include <initializer_list>

CriticalSection::CriticalSection()
{
    sigset_t held;
    sigemptyset(&held);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&held, sig);
    blocked_ = sigprocmask(SIG_BLOCK, &held, &previous_) == 0;
}

CriticalSection::~CriticalSection()
{
    if (blocked_)
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
}
