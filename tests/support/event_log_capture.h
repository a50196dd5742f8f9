#pragma once

#include <cstdio>
#include <string>

namespace testing_support {

// Points the event log at a temporary stream for its lifetime, so that
// in-process tests can read what a function logged.
class EventLogCapture {
public:
    EventLogCapture();
    ~EventLogCapture();
    EventLogCapture(const EventLogCapture&) = delete;
    EventLogCapture& operator=(const EventLogCapture&) = delete;

    // Everything logged so far.
    std::string text() const;
    // Forgets it: text() gives what is logged from here on.
    void clear();

private:
    FILE* saved_;
    FILE* stream_;
};

} // namespace testing_support
