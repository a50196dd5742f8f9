#pragma once

#include "support/event_log_capture.h"
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

// A test in a fresh package directory (the simulator as ./bootutil), with
// the event log captured and the run state reset before and after. Skipped
// when the simulator is not built; a fixture's own SetUp calls this one
// first and returns when IsSkipped().
class PackageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    SimPackage pkg;
    std::unique_ptr<ScopedCwd> cwd;
    std::unique_ptr<EventLogCapture> log;
};

} // namespace testing_support
