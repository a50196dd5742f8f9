// A second run in the same working directory refuses before touching anything.
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <regex>

using namespace testing_support;

namespace {

std::vector<std::string> listing(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ConcurrentRun, SecondRunInTheSameDirectoryRefuses)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    SimPackage pkg;
    pkg.add_image_file("host.bin");
    pkg.write_catalog({catalog_entry_for(*nic, "Host Adapter", "host.bin")});
    // The first run is held inside a slow version report.
    pkg.write_state("adapter nic=1 mac=" + nic->mac +
                    " psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1 report_delay=3\n"
                    "image file=host.bin psid=P1 combo=1.3.21 pxe=1 setup=1 ocd=1\n");

    BackgroundRun first({"-c"}, pkg.path());
    ASSERT_TRUE(wait_until([&] {
        for (const std::string& args : pkg.tool_invocations())
            if (args.find("-NIC=") != std::string::npos)
                return true;
        return false;
    }));
    const std::vector<std::string> before = listing(pkg.path());
    const std::string log_before = read_file(pkg.file("bootutil.log"));

    RunResult second = run_dazed_fug({"-h"}, pkg.path());
    EXPECT_EQ(second.exit_status, 6);
    EXPECT_EQ(second.out, "");
    EXPECT_TRUE(std::regex_match(second.err, std::regex(
        "FWUPG_ERROR: another run is active in this working directory, dazed-fug,[0-9]+\n"))) << second.err;
    EXPECT_EQ(listing(pkg.path()), before);
    EXPECT_EQ(read_file(pkg.file("bootutil.log")), log_before);

    RunResult done = first.wait();
    EXPECT_EQ(done.exit_status, 0) << done.err;
    EXPECT_EQ(read_file(pkg.file("bootutil.log")).find(" -h "), std::string::npos);

    // Once the first run has ended, the directory is free again.
    EXPECT_EQ(run_dazed_fug({"-h"}, pkg.path()).exit_status, 0);
}

} // namespace
