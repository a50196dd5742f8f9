#pragma once

#include <signal.h>

// Critical section: moving the system's module aside and copying the staged
// one in (or putting it back) must not be cut in half by an interrupt, or the
// kernel is left with no module of that name. The termination signals are
// held while the object lives (the mv/cp children inherit that) and delivered
// when it ends.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

private:
    sigset_t previous_;
    bool blocked_ = false;
};
