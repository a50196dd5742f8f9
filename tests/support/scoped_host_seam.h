#pragma once

#include "lib/host_seam.h"

#include <string>

namespace testing_support {

// The host seam for as long as the object lives: what it was, with the
// root (if given) and whatever the test sets through it; what it was again
// when the object goes.
class ScopedHostSeam {
public:
    explicit ScopedHostSeam(const std::string& root = "") : previous_(g_host)
    {
        if (!root.empty())
            g_host.root = root;
    }
    ~ScopedHostSeam() { g_host = previous_; }
    ScopedHostSeam(const ScopedHostSeam&) = delete;
    ScopedHostSeam& operator=(const ScopedHostSeam&) = delete;

    HostSeam* operator->() { return &g_host; }

private:
    HostSeam previous_;
};

} // namespace testing_support
