#pragma once

#include "driver/staging.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

// In-process staging against a temporary root: <root>/etc for the release
// files, <root>/lib/modules/<release>/... for the module tree, and a working
// directory holding durivozo/ with prebuilt modules.
class StagingTest : public ::testing::Test {
public:
    struct Outcome {
        int rc = -1;
        std::string console;  // standard output
        std::string errors;   // standard error (the listing's complaint)
    };

protected:
    void SetUp() override;
    void TearDown() override;

    // The release the fake uname reports, or a uname failure.
    void set_release(const std::string& release);
    void fail_uname();

    void add_release_file(const char* name);  // "SuSE-release", "redhat-release"
    void add_prebuilt(const std::string& name, const std::string& content);
    void add_system_module(const std::string& content);
    void add_working_copy(const std::string& content);  // a durivozo.ko in the working directory

    std::string module_dir() const;
    std::string module_file() const { return module_dir() + "/durivozo.ko"; }
    // Where the system's module is kept while staged, and the working
    // directory's durivozo.ko, which earlier versions used.
    std::string backup_file() const { return root_.path() + "/var/lib/dazed-fug/durivozo-" + release_ + ".ko"; }
    std::string working_copy() const { return wd_.file("durivozo.ko"); }
    std::string log_text();

    Outcome stage();
    Outcome restore();

    testing_support::TempDir root_;
    testing_support::TempDir wd_;
    testing_support::ScopedHostSeam seam_;
    std::string release_;

private:
    std::unique_ptr<testing_support::ScopedCwd> cwd_;
    std::string log_path_;
    uint32_t saved_flags_ = 0;
};
