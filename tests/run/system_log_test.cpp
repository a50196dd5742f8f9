// The run's summary in the system log: the real binary in a private mount
// namespace whose /dev is an overlay, with the test's own datagram socket
// bound at /dev/log there; the host's /dev is never touched.
#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "run/options.h"
#include "run/run_summary.h"
#include "support/run_state.h"
#include "support/sim_package.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <optional>
#include <regex>

using namespace testing_support;

namespace {

// Exits 77 before the run when the namespace cannot be made. The listener
// keeps every datagram that arrives until the run has ended.
const char kScript[] = R"sh(set -u
T=$1; WD=$2; shift 2
mount --make-rprivate / || exit 77
mkdir -p "$T/dev-up" "$T/dev-work" || exit 77
mount -t overlay overlay -o "lowerdir=/dev,upperdir=$T/dev-up,workdir=$T/dev-work" /dev || exit 77
python3 - "$T" <<'PY' &
import os, socket, sys
t = sys.argv[1]
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind("/dev/log")
open(t + "/listening", "w").close()
s.settimeout(1.0)
with open(t + "/got", "ab") as got:
    while not os.path.exists(t + "/done"):
        try:
            got.write(s.recv(65536) + b"\n")
            got.flush()
        except socket.timeout:
            pass
PY
while [ ! -e "$T/listening" ]; do sleep 0.1; done
: > "$T/ready"
cd "$WD" && "$@" < /dev/null > "$T/out" 2>&1
echo $? > "$T/rc"
sleep 0.5; : > "$T/done"; wait
)sh";

struct LoggedRun {
    std::string skip;
    std::string datagrams;
};

LoggedRun run_logged(const SimPackage& pkg, const std::vector<std::string>& args)
{
    LoggedRun run;
    if (geteuid() != 0 || !contains(run_program({"sh", "-c", "command -v python3"}, "/").out, "python3")) {
        run.skip = "needs root and python3 for a private /dev/log";
        return run;
    }
    TempDir t;
    write_file(t.file("run.sh"), kScript);
    std::vector<std::string> command = {"/usr/bin/env", "unshare", "-m", "--fork", "/bin/sh", t.file("run.sh"),
                                        t.path(), pkg.path()};
    for (const std::string& word : dazed_fug_command(args))
        command.push_back(word);
    RunResult ns = run_program(command, t.path());
    if (!file_exists(t.file("ready")))
        run.skip = "no private mount namespace with an overlay over /dev here: " + ns.err;
    run.datagrams = file_exists(t.file("got")) ? read_file(t.file("got")) : "";
    return run;
}

TEST(SystemLog, OneSummaryLinePerRunThatReachedAMode)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    const std::string host_mac = nic->mac;
    const struct {
        std::vector<std::string> args;
        std::string keys;   // of the host's adapter
        std::string line;   // "": no line at all
    } cases[] = {
        {{"-s"}, "", "<30>.* dazed-fug\\[[0-9]+\\]: mode update; flashed: " + host_mac +
                         " 1\\.2\\.8 -> 1\\.3\\.21 succeeded; FWUPG_OK\n"},
        {{"-s"}, "flash_exit=3", "<27>.* dazed-fug\\[[0-9]+\\]: mode update; flashed: " + host_mac +
                                     " 1\\.2\\.8 -> 1\\.3\\.21 failed; FWUPG_ERR\n"},
        {{"-c"}, "", "<30>.* dazed-fug\\[[0-9]+\\]: mode current versions \\(-c\\); flashed: none; FWUPG_OK\n"},
        {{"-h"}, "", ""},  // no mode ran
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.keys);
        SimPackage pkg;
        pkg.offer_host_nic(*nic, c.keys);
        LoggedRun run = run_logged(pkg, c.args);
        if (!run.skip.empty())
            GTEST_SKIP() << run.skip;
        if (c.line.empty())
            EXPECT_EQ(run.datagrams, "");
        else
            EXPECT_TRUE(std::regex_match(run.datagrams, std::regex(c.line))) << run.datagrams;
    }
}

// A report's version is told only when it reads whole as one, so a report
// cannot write results of its own into the line; every control character
// is escaped.
TEST(SystemLog, SummaryTakesOnlyWholeVersionsFromAReport)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1.3.21", "001B21123456 1.2.8 -> 1.3.21 succeeded"},
        {"1.3.21 succeeded, 001B21000002 1.0.0 -> 9.9.9", "001B21123456 1.2.8 -> unknown succeeded"},
        {"12.3.4", "001B21123456 1.2.8 -> unknown succeeded"},
    };
    note_mode_reached(select_mode(RUN_USE_XML)->name);
    for (const auto& [reported, shown] : cases) {
        g_ninfo.assign(1, NicInfo{});
        g_ninfo[0].macaddress = std::string("001B21123456");
        g_ninfo[0].cur_version = {1, 2, 8};
        g_ninfo[0].reported_version = reported;
        g_ninfo[0].flash_outcome = FlashOutcome::SUCCEEDED;
        EXPECT_EQ(run_summary_line(FWUPG_OK), std::string("mode directed update (-u); flashed: ") + shown + "; FWUPG_OK");
    }
    g_ninfo[0].macaddress = "001B\xC2\x9B";
    EXPECT_TRUE(contains(run_summary_line(FWUPG_OK), "flashed: 001B\\xC2\\x9B 1.2.8"));
    note_mode_reached(nullptr);
    reset_run_state();
}

} // namespace
