#pragma once

#include "support/fake_host.h"
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace app_test {

// A whole run in this process: the simulator as ./bootutil with two
// adapters behind eth0 and eth1 (tool numbers 1 and 2, combo 1.2.8, one
// image 1.3.21 that fits both), scripted probes, and a fixture root with
// /etc/redhat-release and the system's own durivozo.ko, so that staging and
// restore really move the module.
class InProcessRun : public ::testing::Test {
public:
    struct Outcome {
        int result = -1;
        std::string out;
        std::string err;
        std::string log;
    };

protected:
    void SetUp() override;
    void TearDown() override;

    // Extra state keys for adapter 1 and 2 (faults, delays).
    void write_state(const std::string& first_keys, const std::string& second_keys = "");
    // One run from a fresh run state, in the package directory.
    Outcome run(const std::vector<std::string>& args);

    static std::string mac_of(int nic);
    // Tool numbers of the adapters that now carry the image.
    std::vector<int> flashed() const;
    size_t tool_invocations_with(const std::string& part) const;
    // The system's module is back in place and no copy is left aside.
    void expect_module_tree_as_before() const;

    testing_support::SimPackage pkg;
    testing_support::TempDir root;
    std::unique_ptr<testing_support::FakeHost> host;

private:
    std::string module_file() const;
    std::unique_ptr<testing_support::ScopedCwd> cwd_;
};

// The tail of the log of a run stopped by the signal.
std::string interrupted_log_end(const char* signal_name);

} // namespace app_test
