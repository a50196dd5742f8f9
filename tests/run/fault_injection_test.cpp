// Faults of the flash tool and the file system: every one ends in a clear
// result, never in a crash or a module left aside.
#include "in_process_run.h"
#include "log/event_log.h"

#include "lib/host_seam.h"

#include <gtest/gtest.h>

#include <linux/sockios.h>
#include <net/if.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <regex>

using namespace testing_support;

namespace {

using FaultInProcess = app_test::InProcessRun;

// Without the tool no mode can ask which adapters exist; none may answer
// "No supported adapters found" and succeed.
TEST(FaultInjection, UnusableFlashToolEndsEveryModeWithAnError)
{
    SKIP_IF_HOST_UNSAFE();
    const struct {
        const char* name;
        bool remove;
        const char* reason;
    } tools[] = {
        {"missing", true, "No such file or directory"},
        {"not executable", false, "Permission denied"},
    };
    const std::vector<std::string> modes[] = {{}, {"-s"}, {"-c"}, {"-d"}, {"-u", "nicdiscovery.xml"}};
    for (const auto& tool : tools) {
        for (const auto& args : modes) {
            SCOPED_TRACE(std::string(tool.name) + (args.empty() ? "" : " " + args[0]));
            SimPackage pkg;
            // -u judges the tool only for a report that marks a device.
            write_file(pkg.file("nicdiscovery.xml"),
                       "<r><device><macaddress value=\"00AA00000001\"/><type value=\"ROM\"/>"
                       "<action value=\"upgrade\"/></device></r>");
            if (tool.remove)
                unlink(pkg.file("bootutil").c_str());
            else
                chmod(pkg.file("bootutil").c_str(), 0644);
            RunResult r = run_dazed_fug(args, pkg.path());
            const std::string log = read_file(pkg.file("bootutil.log"));
            const std::string line = std::string("Cannot run the flash tool ./bootutil: ") + tool.reason + "\n";

            EXPECT_EQ(r.exit_status, 6);
            EXPECT_TRUE(contains(log, "[ERROR]  :" + line)) << log;
            EXPECT_TRUE(contains(log, "\nReturn Value: FWUPG_ERR [6]\n")) << log;
            EXPECT_FALSE(contains(log, "No supported adapters found")) << log;
            const bool silent = !args.empty() && args[0] != "-c";
            EXPECT_EQ(r.out, silent ? "" : line);
        }
    }
}

// The tool dies by a signal halfway through the flash, SIGINT included: the
// signal went to the tool alone, so it is a failed flash, not an
// interrupted run, and the next adapter is still flashed.
TEST_F(FaultInProcess, FlashToolKilledMidFlashIsAFailedFlash)
{
    for (const char* fault : {"flash_signal=9", "flash_signal=2"}) {
        SCOPED_TRACE(fault);
        write_state(fault);
        pkg.clear_tool_log();
        Outcome r = run({"-s"});

        EXPECT_EQ(r.result, 6);
        EXPECT_EQ(flashed(), std::vector<int>{2});
        EXPECT_TRUE(contains(r.log, "[ERROR]  :Upgrade failed\n (./bootutil -NIC=1 -up=pxe+clp+ocd")) << r.log;
        EXPECT_TRUE(contains(r.log, "\nReturn Value: FWUPG_ERR [6]\n"));
        EXPECT_FALSE(contains(r.log, "Interrupted")) << r.log;
        expect_module_tree_as_before();
    }
}

// A log that can be opened but not written (a full disk): the run stops
// before staging, as for a log that cannot be opened, rather than flash
// with no record.
TEST_F(FaultInProcess, UnwritableEventLogStopsBeforeStaging)
{
    g_EventLogPath = "/dev/full";
    Outcome r = run({"-h"});

    EXPECT_EQ(r.result, 6);
    EXPECT_TRUE(std::regex_match(r.err, std::regex("FWUPG_ERROR: could not write /dev/full \\(" +
                                                   std::to_string(ENOSPC) + "\\), dazed-fug,[0-9]+\n")))
        << r.err;
    EXPECT_EQ(r.out, "") << "no usage: the run ended before the arguments";
    EXPECT_TRUE(pkg.tool_invocations().empty());
    expect_module_tree_as_before();
}

int ethtool_removing_the_catalog_at_eth1(int fd, unsigned long request, struct ifreq* ifr)
{
    if (request == SIOCETHTOOL && strcmp(ifr->ifr_name, "eth1") == 0)
        unlink("nic_fw/NICFWData.xml");
    return FakeHost::socket_ioctl(fd, request, ifr);
}

// The catalog vanishes after the run read it: the run answers every lookup
// from what it read, so both adapters are updated as usual.
TEST_F(FaultInProcess, CatalogVanishingAfterItWasRead)
{
    g_host.socket_ioctl = ethtool_removing_the_catalog_at_eth1;
    Outcome r = run({"-s"});

    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(flashed(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(file_exists(pkg.file("nic_fw/NICFWData.xml")));
    EXPECT_EQ(count(r.log, "Unable to open"), 0u) << r.log;
    EXPECT_TRUE(contains(r.log, "\nReturn Value: FWUPG_OK [0]\n"));
    expect_module_tree_as_before();
}

// Exits 77 before running anything when no read-only bind mount can be made.
const char kReadOnlyScript[] = R"sh(set -u
WD=$1; BIN=$2; OUT=$3
mount --make-rprivate / || exit 77
mount --bind "$WD" "$WD" || exit 77
mount -o remount,bind,ro "$WD" || exit 77
cd "$WD" || exit 77
if touch "$WD/probe" 2>/dev/null; then exit 77; fi
"$BIN" -h > "$OUT/out" 2> "$OUT/err" < /dev/null
echo $? > "$OUT/rc"
)sh";

// As root, permission bits do not stop a write; a read-only mount in a
// private mount namespace does.
TEST(FaultInjection, ReadOnlyWorkingDirectory)
{
    SKIP_IF_HOST_UNSAFE();
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a private mount namespace";
    TempDir t;
    const std::string wd = t.file("wd");
    make_dirs(wd);
    write_file(t.file("script.sh"), kReadOnlyScript);
    RunResult ns = run_program({"/usr/bin/env", "unshare", "-m", "--fork", "/bin/sh", t.file("script.sh"), wd,
                                DAZED_FUG_BINARY, t.path()},
                               t.path());
    if (!file_exists(t.file("rc")))
        GTEST_SKIP() << "no read-only bind mount in a private mount namespace here: " << ns.err;

    EXPECT_EQ(read_file(t.file("rc")), "6\n");
    const std::string err = read_file(t.file("err"));
    EXPECT_TRUE(std::regex_match(err, std::regex("FWUPG_ERROR: could not open bootutil.log \\(" +
                                                 std::to_string(EROFS) + "\\), dazed-fug,[0-9]+\n")))
        << err;
    EXPECT_EQ(read_file(t.file("out")), "");
    EXPECT_FALSE(file_exists(wd + "/bootutil.log"));
}

} // namespace

namespace {

// A console that goes away mid-run (dazed-fug -h | head -1) must not kill
// the run: it finishes, restores and logs its return value.
TEST(FaultInjection, ClosedConsoleDoesNotKillTheRun)
{
    SKIP_IF_HOST_UNSAFE();
    TempDir dir;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);  // nobody reads the console
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGPIPE, SIG_DFL);
        if (dup2(fds[1], 1) < 0 || chdir(dir.path().c_str()) != 0)
            _exit(126);
        exec_or_exit(dazed_fug_command({"-h"}));
    }
    close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(read_file(dir.file("bootutil.log")).find("Return Value: FWUPG_OK [0]"), std::string::npos);
}

} // namespace

namespace {

int ethtool_out_of_memory(int, unsigned long, struct ifreq*)
{
    throw std::bad_alloc();
}

// Out of memory in the middle of a mode still ends the run in order.
TEST_F(FaultInProcess, OutOfMemoryEndsTheRunInOrder)
{
    g_host.socket_ioctl = ethtool_out_of_memory;
    Outcome r = run({"-s"});

    EXPECT_EQ(r.result, 6);
    EXPECT_TRUE(contains(r.log, "[ERROR]  :Out of memory; stopping.\n\nReturn Value: FWUPG_ERR [6]\n")) << r.log;
    EXPECT_TRUE(flashed().empty());
    expect_module_tree_as_before();
}

} // namespace

namespace {

// The warning about a driver the kernel will not load reaches the console
// where the mode shows anything, and the log always.
TEST_F(FaultInProcess, UnloadableDriverIsShownWhereTheConsoleIsOpen)
{
    make_dirs(root.file("sys/module/module/parameters"));
    write_file(root.file("sys/module/module/parameters/sig_enforce"), "Y\n");
    const std::string warning = "The kernel enforces module signatures and the flash driver "
                                "./durivozo/RHEL8-5.14.0_durivozo.ko carries no signature";
    for (const auto& [args, shown] : {std::pair{std::vector<std::string>{"-c"}, true},
                                      std::pair{std::vector<std::string>{"-s"}, false}}) {
        SCOPED_TRACE(args[0]);
        Outcome r = run(args);
        EXPECT_EQ(contains(r.out, warning), shown) << r.out;
        EXPECT_TRUE(contains(r.log, "[WARNING]:" + warning)) << r.log;
    }
}

} // namespace
