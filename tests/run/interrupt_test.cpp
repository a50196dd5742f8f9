// Termination signals sent to the real binary: at the prompt, inside a slow
// version report and inside a slow flash, to the process alone or to its
// whole process group as a terminal sends them. The run always ends by
// itself with the cancelled result logged, and never flashes after the
// signal; a flash under way completes.
#include "support/sim_package.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <functional>
#include <optional>

using namespace testing_support;

namespace {

const char kInstalled[] = "1.2.8";
const char kImageCombo[] = "1.3.21";

class InterruptedRun : public ::testing::Test {
protected:
    std::optional<HostNic> nic;

    void SetUp() override
    {
        SKIP_UNLESS_HOST_NIC(nic);
    }

    void prepare(SimPackage& pkg, const std::string& keys) const
    {
        pkg.offer_host_nic(*nic, keys);
    }
};

TEST_F(InterruptedRun, EndsWithTheLoggedResultAndNoFurtherStep)
{
    struct Moment {
        const char* name;
        std::vector<std::string> args;
        const char* keys;
        std::function<bool(const BackgroundRun&, const SimPackage&)> reached;
        size_t commands_naming_the_adapter;  // version reports and flash
        bool flashed;
    };
    const Moment moments[] = {
        {"at the prompt", {}, "",
         [](const BackgroundRun& run, const SimPackage&) { return run.wait_for_output(" y/n/q (y):"); }, 2, false},
        {"inside a slow version report", {}, "report_delay=1",
         [](const BackgroundRun&, const SimPackage& pkg) {
             return wait_until([&] { return containing(pkg.tool_invocations(), "-NIC=").size() > 0; });
         },
         1, false},
        {"inside a slow flash", {"-s"}, "flash_delay=1",
         [](const BackgroundRun&, const SimPackage& pkg) {
             return wait_until([&] { return containing(pkg.tool_invocations(), "-up=").size() > 0; });
         },
         3, true},
    };
    const struct {
        int number;
        const char* name;
        bool whole_group;
    } signals[] = {
        {SIGINT, "SIGINT", true},
        {SIGTERM, "SIGTERM", false},
        {SIGHUP, "SIGHUP", true},
    };
    for (const Moment& m : moments) {
        for (const auto& s : signals) {
            SCOPED_TRACE(std::string(s.name) + (s.whole_group ? " to the group " : " to the process ") + m.name);
            SimPackage pkg;
            prepare(pkg, m.keys);
            BackgroundRun run(m.args, pkg.path());
            ASSERT_TRUE(m.reached(run, pkg)) << run.output_so_far();
            kill(s.whole_group ? -run.pid() : run.pid(), s.number);
            RunResult r = run.wait();
            const std::string log = read_file(pkg.file("bootutil.log"));
            const std::string line = std::string("Interrupted by ") + s.name + "; stopping.\n";

            // Cancelled before any flash; once the one selected adapter is
            // flashed, the run reports that success.
            EXPECT_EQ(r.term_signal, 0);
            EXPECT_EQ(r.exit_status, m.flashed ? 0 : 5) << r.out << r.err << log;
            EXPECT_TRUE(ends_with(log, "[ERROR]  :" + line +
                                           (m.flashed ? "[INFO]   :Reboot the system for FW upgrade to take effect.\n"
                                                        "\nReturn Value: FWUPG_OK [0]\n"
                                                      : "\nReturn Value: FWUPG_QUIT [5]\n") +
                                           std::string(60, '=') + "\n\n"))
                << log;
            // The command under way was the last one: no second report, no
            // further flash.
            EXPECT_EQ(containing(pkg.tool_invocations(), "-NIC=").size(), m.commands_naming_the_adapter);
            EXPECT_EQ(containing(pkg.tool_invocations(), "-up=").size(), m.flashed ? 1u : 0u);
            EXPECT_EQ(pkg.adapter_value(nic->mac, "combo"), m.flashed ? kImageCombo : kInstalled);
            if (m.flashed)
                EXPECT_TRUE(contains(log, "[INFO]   :MAC " + nic->mac + " Upgrade SUCCESS\n[ERROR]  :" + line));
            else
                EXPECT_TRUE(contains(r.out, line)) << r.out;
            EXPECT_FALSE(contains(r.out, "Unknown input problem!"));
            EXPECT_FALSE(contains(r.out + log, "cancelled by User"));
            EXPECT_EQ(contains(r.out, "y/n/q"), std::string(m.name) == "at the prompt");
        }
    }
}

// A signal ignored when the run starts (nohup, a script's background job)
// stays ignored: the run finishes its flash and ends as it would have.
TEST_F(InterruptedRun, SignalIgnoredAtStartStaysIgnored)
{
    for (int sig : {SIGHUP, SIGINT, SIGQUIT}) {
        SCOPED_TRACE(sig);
        SimPackage pkg;
        prepare(pkg, "flash_delay=1");
        struct sigaction ignore {}, saved {};
        ignore.sa_handler = SIG_IGN;
        sigaction(sig, &ignore, &saved);
        BackgroundRun run({"-s", "-f"}, pkg.path());
        sigaction(sig, &saved, nullptr);
        ASSERT_TRUE(wait_until([&] { return containing(pkg.tool_invocations(), "-up=").size() > 0; }));
        kill(-run.pid(), sig);
        RunResult r = run.wait();
        const std::string log = read_file(pkg.file("bootutil.log"));

        EXPECT_EQ(r.exit_status, 0) << log;
        EXPECT_FALSE(contains(log, "Interrupted")) << log;
        EXPECT_TRUE(contains(log, "[INFO]   :NIC firmware update SUCCESS\n")) << log;
        EXPECT_EQ(pkg.adapter_value(nic->mac, "combo"), kImageCombo);
    }
}

} // namespace
