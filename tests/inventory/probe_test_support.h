#pragma once

#include "log/event_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace probe_testing {

// Collects what is written to standard error between construction and take().
class StderrCapture {
public:
    StderrCapture() { testing::internal::CaptureStderr(); }
    ~StderrCapture()
    {
        if (!taken_)
            testing::internal::GetCapturedStderr();
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string take()
    {
        taken_ = true;
        return testing::internal::GetCapturedStderr();
    }

private:
    bool taken_ = false;
};

// Replaces the reporting line of every diagnostic ("dazed-fug,123\n") by N.
std::string without_line_numbers(const std::string& text);

// True when this process may open the raw IPv4 sockets the address probes use.
bool raw_sockets_allowed();

// Standard output of a shell command, empty when it cannot run.
std::string command_output(const std::string& command);

std::string trim(const std::string& text);

} // namespace probe_testing
