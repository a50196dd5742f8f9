#pragma once

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace update_test {

// Points dazed_fout at a temporary stream for the life of the object.
class CapturedLog {
public:
    CapturedLog();
    ~CapturedLog();
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    std::string text() const;

private:
    FILE* saved_;
};

// Feeds text to the program's standard input (fd 0 and stdin) for the life
// of the object; afterwards standard input is what it was.
class ScopedStdin {
public:
    explicit ScopedStdin(const std::string& text);
    ~ScopedStdin();
    ScopedStdin(const ScopedStdin&) = delete;
    ScopedStdin& operator=(const ScopedStdin&) = delete;

private:
    testing_support::TempDir dir_;
    int saved_fd_ = -1;
};

// Clears the run flags and the inventory.
void reset_run_state();

// Each test starts and ends with a clean run state.
class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override { reset_run_state(); }
    void TearDown() override { reset_run_state(); }
};

} // namespace update_test
