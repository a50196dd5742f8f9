// A termination signal at the moments a real process cannot be caught at
// from outside: inside staging, between two prompts after the first adapter
// was accepted, and inside restore. Whole runs in this process, so that the
// module tree of the fixture root shows what staging and restore did.
#include "in_process_run.h"

#include "lib/host_seam.h"

#include "support/piped_stdin.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

using namespace testing_support;

namespace {

using app_test::interrupted_log_end;
using InterruptedInProcess = app_test::InProcessRun;

int g_signal_in_staging = 0;

int release_with_signal(std::string* release)
{
    raise(g_signal_in_staging);
    *release = "5.14.0-fake";
    return 0;
}

// The signal arrives while staging holds the termination signals; staging
// completes, and no mode runs.
TEST_F(InterruptedInProcess, DuringStagingNoModeRuns)
{
    g_signal_in_staging = SIGHUP;
    g_host.kernel_release = release_with_signal;
    Outcome r = run({"-s"});

    EXPECT_EQ(r.result, 5);
    EXPECT_TRUE(pkg.tool_invocations().empty());
    EXPECT_TRUE(ends_with(r.log, interrupted_log_end("SIGHUP"))) << r.log;
    EXPECT_TRUE(contains(r.log, "Command: dazed-fug -s \n\n[ERROR]  :Interrupted by SIGHUP")) << r.log;
    expect_module_tree_as_before();
}

// The first adapter is accepted; the signal comes while the second question
// waits. Nothing is flashed, not even the accepted adapter.
TEST_F(InterruptedInProcess, AtTheSecondPromptTheAcceptedAdapterIsNotFlashed)
{
    PipedStdin input;
    const pthread_t asking = pthread_self();
    const pid_t asking_tid = gettid();
    bool second_question_waited = false;
    std::thread operator_at_terminal([&] {
        input.send("y\n");
        second_question_waited = wait_until([&] { return input.drained(); }) &&
                                  wait_until([&] { return thread_waits_in_ppoll(asking_tid); });
        pthread_kill(asking, SIGTERM);
    });
    Outcome r = run({});
    operator_at_terminal.join();

    ASSERT_TRUE(second_question_waited);
    EXPECT_EQ(r.result, 5);
    EXPECT_TRUE(contains(r.log, " y/n/q (y): y\n\n")) << "the first answer counted\n" << r.log;
    EXPECT_EQ(tool_invocations_with("-up="), 0u);
    EXPECT_TRUE(flashed().empty());
    EXPECT_TRUE(ends_with(r.log, interrupted_log_end("SIGTERM"))) << r.log;
    EXPECT_TRUE(ends_with(r.out, " y/n/q (y):\nInterrupted by SIGTERM; stopping.\n")) << r.out;
    for (const char* never : {"Unknown input problem!", "cancelled by User", "Selecting", "SUCCESS"})
        EXPECT_FALSE(contains(r.out + r.log, never)) << never;
    expect_module_tree_as_before();
}

// The directed update finishes the flash under way and neither looks up
// nor flashes the next device of the report; that device was selected and
// is not flashed, so the run is no success.
TEST_F(InterruptedInProcess, DirectedUpdateStopsAfterTheFlashUnderWay)
{
    ASSERT_EQ(run({"-d", "report.xml"}).result, 0);
    write_state("flash_delay=1");
    pkg.clear_tool_log();
    const pthread_t updating = pthread_self();
    std::thread signaller([&] {
        wait_until([&] { return tool_invocations_with("-up=") > 0; });
        pthread_kill(updating, SIGTERM);
    });
    Outcome r = run({"-u", "report.xml"});
    signaller.join();

    EXPECT_EQ(r.result, 6);
    EXPECT_EQ(flashed(), std::vector<int>{1});
    EXPECT_EQ(tool_invocations_with("-E"), 2u);  // the tool's own check and the first device
    EXPECT_TRUE(ends_with(r.log, "[INFO]   :MAC " + mac_of(1) + " Upgrade SUCCESS\n"
                                 "[ERROR]  :Interrupted by SIGTERM; stopping.\n"
                                 "[INFO]   :Reboot the system for FW upgrade to take effect.\n"
                                 "\nReturn Value: FWUPG_ERR [6]\n" + std::string(60, '=') + "\n\n"))
        << r.log;
    EXPECT_EQ(r.out, "");
    expect_module_tree_as_before();
}

} // namespace
