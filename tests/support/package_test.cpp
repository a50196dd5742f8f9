#include "support/package_test.h"

#include "support/run_state.h"

namespace testing_support {

void PackageTest::SetUp()
{
    if (!pkg.has_simulator())
        GTEST_SKIP() << "the flash-tool simulator is not built";
    reset_run_state();
    cwd = std::make_unique<ScopedCwd>(pkg.path());
    log = std::make_unique<EventLogCapture>();
}

void PackageTest::TearDown()
{
    log.reset();
    cwd.reset();
    reset_run_state();
}

} // namespace testing_support
