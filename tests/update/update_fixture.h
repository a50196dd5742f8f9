#pragma once

#include "support/run_state.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace update_test {

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

// Each test starts and ends with a clean run state.
class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::reset_run_state(); }
    void TearDown() override { testing_support::reset_run_state(); }
};

} // namespace update_test
