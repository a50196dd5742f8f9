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

bool in_version_report(const SimPackage& pkg)
{
    for (const std::string& args : pkg.tool_invocations()) {
        if (args.find("-NIC=") != std::string::npos)
            return true;
    }
    return false;
}

// The first run is held at a prompt, or inside a slow version report, while
// a second run starts in the same directory.
TEST(ConcurrentRun, SecondRunInTheSameDirectoryRefuses)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    struct Hold {
        const char* name;
        std::vector<std::string> args;
        const char* adapter_keys;
        const char* answer;
    };
    const Hold holds[] = {
        {"at a prompt", {}, "", "n\n"},
        {"in a slow version report", {"-c"}, " report_delay=3", ""},
    };
    for (const Hold& hold : holds) {
        SimPackage pkg;
        pkg.offer_host_nic(*nic, hold.adapter_keys);

        BackgroundRun first(hold.args, pkg.path());
        if (hold.args.empty())
            ASSERT_TRUE(first.wait_for_output(" y/n/q (y):")) << hold.name;
        else
            ASSERT_TRUE(wait_until([&] { return in_version_report(pkg); })) << hold.name;
        const std::vector<std::string> before = listing(pkg.path());
        const std::string log_before = read_file(pkg.file("bootutil.log"));

        RunResult second = run_dazed_fug({"-h"}, pkg.path());
        EXPECT_EQ(second.exit_status, 6) << hold.name;
        EXPECT_EQ(second.out, "") << hold.name;
        EXPECT_TRUE(std::regex_match(second.err, std::regex(
            "FWUPG_ERROR: another run is active in this working directory, dazed-fug,[0-9]+\n")))
            << hold.name << ": " << second.err;
        EXPECT_EQ(listing(pkg.path()), before) << hold.name;
        EXPECT_EQ(read_file(pkg.file("bootutil.log")), log_before) << hold.name;

        first.send(hold.answer);
        RunResult done = first.wait();
        EXPECT_EQ(done.exit_status, 0) << hold.name << ": " << done.err;
        EXPECT_EQ(read_file(pkg.file("bootutil.log")).find(" -h "), std::string::npos) << hold.name;
        EXPECT_EQ(pkg.adapter_value(nic->mac, "combo"), "1.2.8") << hold.name;  // declined, not flashed

        // Once the first run has ended, the directory is free again.
        EXPECT_EQ(run_dazed_fug({"-h"}, pkg.path()).exit_status, 0) << hold.name;
    }
}

} // namespace
