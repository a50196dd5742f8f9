// The default update over several adapters: scripted probes, the simulator
// as ./bootutil, answers on standard input. The simulator's state shows what
// a run really flashed.
#include "update/flash_adapter.h"
#include "update/fw_upgrade.h"
#include "update/prompt.h"

#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/event_log_capture.h"
#include "support/fake_host.h"
#include "support/sim_package.h"
#include "update_fixture.h"

#include <algorithm>
#include <memory>
#include <set>

using namespace testing_support;

namespace {

using testing_support::EventLogCapture;
using update_test::ScopedStdin;

const char kImageCombo[] = "1.3.21";
const char kSuccessLines[] = "NIC firmware update SUCCESS\nReboot the system for FW upgrade to take effect.\n";
const char kSummary[] = "\nNIC firmware update completed with errors. \n";
const char kCancelled[] = "Firmware upgrade cancelled by User\n";
const char kPromptEnd[] = " y/n/q (";

std::string mac_of(int nic)
{
    return "001B2100000" + std::to_string(nic);
}

// The flash command for adapter n as the simulator logs it.
std::string flash_line(int nic)
{
    return "(./bootutil -NIC=" + std::to_string(nic) +
           " -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/dz10.bin > out.txt 2>&1)\\n";
}

struct RunOutcome {
    int result;
    std::string console;
    std::string log;
};

// Three adapters eth0..eth2 with tool numbers 1..3, one catalog entry and
// one image (combo 1.3.21) that fits them all.
class UpdateRun : public update_test::UpdateTest {
protected:
    SimPackage pkg;
    std::unique_ptr<ScopedCwd> cwd;
    std::unique_ptr<FakeHost> host;

    void SetUp() override
    {
        UpdateTest::SetUp();
        if (!pkg.has_simulator())
            GTEST_SKIP() << "the flash-tool simulator is not built";
        cwd = std::make_unique<ScopedCwd>(pkg.path());
        pkg.add_image_file("dz10.bin");
        pkg.write_catalog({{"Dazed Dual Port", "8086", "10C9", "8086", "A02C", "dz10.bin"},
                           {"Dazed Imageless", "8086", "10D3", "8086", "A02C", "n/a"}});
        std::vector<FakeInterface> nics;
        for (int n = 1; n <= 3; ++n)
            nics.push_back(interface(n, 0x10C9));
        host = std::make_unique<FakeHost>(nics);
    }
    void TearDown() override
    {
        host.reset();
        UpdateTest::TearDown();
    }

    static FakeInterface interface(int nic, uint32_t devid)
    {
        return pci_nic("eth" + std::to_string(nic - 1), "0000:0" + std::to_string(nic + 2) + ":00.0", mac_of(nic),
                       devid);
    }

    // One combo version per adapter, plus extra keys per adapter (a psid
    // there replaces the one that fits the image).
    void write_state(const std::vector<std::string>& combos, const std::vector<std::string>& extra = {})
    {
        std::string state;
        for (size_t k = 0; k < combos.size(); ++k) {
            const std::string more = k < extra.size() ? extra[k] : "";
            state += "adapter nic=" + std::to_string(k + 1) + " mac=" + mac_of(static_cast<int>(k + 1));
            if (more.find("psid=") == std::string::npos)
                state += " psid=DZ10C9-01";
            state += " combo=" + combos[k] + " pxe=1.3.33 setup=2.2.6 ocd=1.0.7";
            if (!more.empty())
                state += " " + more;
            state += "\n";
        }
        state += "image file=dz10.bin psid=DZ10C9-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n";
        pkg.write_state(state);
    }

    RunOutcome run(const std::string& input, uint32_t flags = 0)
    {
        g_iFlag = flags;
        EventLogCapture log;
        ScopedStdin in(input);
        testing::internal::CaptureStdout();
        int result = fw_upgrade();
        fflush(stdout);
        return {result, testing::internal::GetCapturedStdout(), log.text()};
    }

    // Tool numbers of the adapters now carrying the image.
    std::set<int> flashed() const
    {
        std::set<int> out;
        for (int n = 1; n <= 3; ++n) {
            if (pkg.adapter_value(mac_of(n), "combo") == kImageCombo)
                out.insert(n);
        }
        return out;
    }

    std::vector<std::string> flash_commands() const { return containing(pkg.tool_command_lines(), "-up="); }
};

TEST_F(UpdateRun, AnswersDecideWhatIsFlashed)
{
    // Its tail beyond the read buffer is exactly "y".
    const std::string overlong(ANSWER_LINE_SIZE - 1, 'n');
    const struct {
        const char* name;
        std::string input;
        std::set<int> flashed;
        int result;
        size_t questions;
        bool cancelled;
    } cases[] = {
        {"all yes", "y\ny\ny\n", {1, 2, 3}, FWUPG_OK, 3, false},
        {"one declined", "y\nn\nYES\n", {1, 3}, FWUPG_OK, 3, false},
        {"all declined", "n\nno\nnope\n", {}, FWUPG_OK, 3, false},
        {"empty lines take the default", "\n\n\n", {1, 2, 3}, FWUPG_OK, 3, false},
        {"quit after accepting the first", "y\nq\ny\n", {1}, FWUPG_OK, 2, true},
        {"quit at the first", "quit\ny\ny\n", {}, FWUPG_QUIT, 1, true},
        {"end of input after one yes", "y\n", {1}, FWUPG_OK, 2, true},
        {"no input at all", "", {}, FWUPG_QUIT, 1, true},
        // A stray "y" in the tail of an overlong line must not answer the
        // next question.
        {"overlong line", overlong + "y\nn\nn\n", {}, FWUPG_OK, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_run_state();
        write_state({"1.2.8", "1.2.8", "1.2.8"});
        pkg.clear_tool_log();
        RunOutcome r = run(c.input);

        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(flashed(), c.flashed);
        std::vector<std::string> expected_flashes;
        for (int n : c.flashed)
            expected_flashes.push_back(flash_line(n));
        EXPECT_EQ(flash_commands(), expected_flashes);

        EXPECT_EQ(count(r.console, kPromptEnd), c.questions);
        EXPECT_EQ(count(r.console, kCancelled), c.cancelled ? 1u : 0u);
        EXPECT_EQ(count(r.log, std::string("[ERROR]  :") + kCancelled), c.cancelled ? 1u : 0u);
        const bool any = !c.flashed.empty();
        EXPECT_EQ(r.console.find(kSuccessLines) != std::string::npos, any) << r.console;
        EXPECT_EQ(r.console.find(kSummary), std::string::npos);
        for (int n : c.flashed) {
            EXPECT_NE(r.log.find("[INFO]   :Selecting Dazed Dual Port MAC: " + mac_of(n) + " \n"), std::string::npos);
            EXPECT_NE(r.log.find("[INFO]   :MAC " + mac_of(n) + " Upgrade SUCCESS\n"), std::string::npos);
        }
        if (any) {
            EXPECT_NE(r.log.find("[INFO]   :NIC firmware update SUCCESS\n"
                                 "[INFO]   :Reboot the system for FW upgrade to take effect.\n"),
                      std::string::npos);
        }
    }
}

// eth0 carries an older ROM than the image, eth1 the same, eth2 a newer one.
TEST_F(UpdateRun, OptionsSetTheDefaults)
{
    const std::vector<std::string> installed{"1.2.8", "1.3.21", "1.4.22"};
    const struct {
        uint32_t flags;
        std::vector<int> flashed;
    } cases[] = {
        {RUN_SILENT, {1}},
        {RUN_SILENT | RUN_FORCE, {1, 2, 3}},
        {RUN_SILENT | RUN_REWRITE, {1, 2}},
        {RUN_SILENT | RUN_DOWNGRADE, {1, 3}},
        {RUN_SILENT | RUN_REWRITE | RUN_DOWNGRADE, {1, 2, 3}},
        {0, {1}},
        {RUN_FORCE, {1, 2, 3}},
        {RUN_REWRITE, {1, 2}},
        {RUN_DOWNGRADE, {1, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
        reset_run_state();
        write_state(installed);
        pkg.clear_tool_log();
        RunOutcome r = run("\n\n\n", c.flags);

        EXPECT_EQ(r.result, FWUPG_OK);
        std::vector<std::string> expected_flashes;
        for (int n : c.flashed)
            expected_flashes.push_back(flash_line(n));
        EXPECT_EQ(flash_commands(), expected_flashes);
        for (int n = 1; n <= 3; ++n) {
            bool was_flashed = std::find(c.flashed.begin(), c.flashed.end(), n) != c.flashed.end();
            EXPECT_EQ(pkg.adapter_value(mac_of(n), "combo"), was_flashed ? kImageCombo : installed[n - 1]);
        }
        const bool silent = (c.flags & RUN_SILENT) != 0;
        EXPECT_EQ(count(r.console, kPromptEnd), silent ? 0u : 3u);
        EXPECT_EQ(r.console.empty(), silent) << r.console;
        EXPECT_EQ(count(r.log, "[WARNING]:*** WARNING *** - Installed firmware is the same version as selected firmware.\n"), 1u);
        EXPECT_EQ(count(r.log, "[WARNING]:*** WARNING *** - Installed firmware is newer than selected firmware.\n"), 1u);
    }
}

// The first adapter's flash fails; the second is still flashed, and the run
// ends with the summary instead of the success lines.
TEST_F(UpdateRun, FailedFlashDoesNotStopTheOthers)
{
    const std::string command = flash_line(1).substr(0, flash_line(1).size() - 2) + "\n";
    const struct {
        const char* fault;
        std::string error;
    } faults[] = {
        {"flash_exit=3", "[ERROR]  :Upgrade failed\n " + command + "\n"},
        {"psid=DZ10D3-07", "[ERROR]  :Fimware upgrade on this device is not supported\n " + command + "\n"},
    };
    for (const auto& f : faults) {
        for (uint32_t flags : {0u, RUN_SILENT}) {
            SCOPED_TRACE(testing::Message() << f.fault << (flags ? ", silent" : ", interactive"));
            reset_run_state();
            // The third has the image already: declined by the answer or by default.
            write_state({"1.2.8", "1.2.8", "1.3.21"}, {f.fault});
            pkg.clear_tool_log();
            RunOutcome r = run("y\ny\nn\n", flags);

            EXPECT_EQ(r.result, FWUPG_ERR);
            EXPECT_EQ(flash_commands(), (std::vector<std::string>{flash_line(1), flash_line(2)}));
            EXPECT_EQ(pkg.adapter_value(mac_of(1), "combo"), "1.2.8");
            EXPECT_EQ(pkg.adapter_value(mac_of(2), "combo"), kImageCombo);
            EXPECT_EQ(r.console.find("SUCCESS"), std::string::npos);
            EXPECT_EQ(r.log.find("NIC firmware update SUCCESS"), std::string::npos);
            EXPECT_EQ(r.console.find(kSummary) != std::string::npos, flags == 0) << r.console;
            EXPECT_EQ(r.log.find("completed with errors"), std::string::npos) << "the summary is console only";
            EXPECT_EQ(count(r.log, "[ERROR]  :"), 1u);
            EXPECT_NE(r.log.find(f.error), std::string::npos) << r.log;
            EXPECT_NE(r.log.find("[INFO]   :MAC " + mac_of(2) + " Upgrade SUCCESS\n"), std::string::npos);
            EXPECT_TRUE(file_exists(pkg.file("out.txt")));
        }
    }
}

TEST_F(UpdateRun, NothingToJudge)
{
    const struct {
        const char* name;
        std::vector<FakeInterface> nics;
        int result;
        const char* log;
    } cases[] = {
        // The tool lists none of the MACs.
        {"no supported adapter", {interface(7, 0x10C9)}, FWUPG_OK, "[INFO]   :No supported adapters found\n"},
        {"no eth interface", {}, FWUPG_ERR, "[ERROR]  :No supported adapters found\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_run_state();
        write_state({"1.2.8"});
        host->set_interfaces(c.nics);
        pkg.clear_tool_log();
        RunOutcome r = run("y\n");
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.console, "No supported adapters found\n");
        EXPECT_EQ(r.log, c.log);
        EXPECT_TRUE(flash_commands().empty());
    }
}

// An adapter left out is said at the end of whatever the screen shows, and
// the run fails (a quit stays a quit). Every adapter left out is not "No
// supported adapters found". A combo version written with a "v" is read.
TEST_F(UpdateRun, LeftOutAdaptersAreSaidAtTheEnd)
{
    const std::string left_out = "1 adapter was found and left out; bootutil.log names it and says why.\n";
    const struct {
        const char* name;
        std::vector<std::string> combos, extra;
        const char* input;
        uint32_t flags;
        int result;
        std::string console_end;
        std::set<int> flashed;
    } cases[] = {
        {"the other flashed", {"v1.2.8", "12.3.4"}, {}, "y\n", 0, FWUPG_ERR, kSuccessLines + left_out, {1}},
        {"the other's flash failed", {"1.2.8", "12.3.4"}, {"flash_exit=3"}, "y\n", 0, FWUPG_ERR,
         kSummary + left_out, {}},
        {"quit", {"1.2.8", "12.3.4"}, {}, "q\n", 0, FWUPG_QUIT, kCancelled + left_out, {}},
        {"silent", {"1.2.8", "vv1.2.8"}, {}, "", RUN_SILENT, FWUPG_ERR, "", {1}},
        {"every adapter", {"v1.2"}, {}, "y\n", 0, FWUPG_ERR, left_out, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_run_state();
        write_state(c.combos, c.extra);
        RunOutcome r = run(c.input, c.flags);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(flashed(), c.flashed);
        EXPECT_TRUE(ends_with(r.console, c.console_end) && r.console.empty() == c.console_end.empty()) << r.console;
        EXPECT_EQ(count(r.log, left_out), 1u) << r.log;
        EXPECT_EQ(r.log.find("No supported adapters found"), std::string::npos) << r.log;
    }
}

// The run's result without a flash is the last judgement's: an adapter
// without an image judged last gives FWUPG_ERR, judged first it does not.
TEST_F(UpdateRun, ResultWithoutAFlashIsTheLastJudgement)
{
    const struct {
        uint32_t first_devid, second_devid;
        int result;
    } cases[] = {
        {0x10C9, 0x10D3, FWUPG_ERR},
        {0x10D3, 0x10C9, FWUPG_OK},
    };
    for (const auto& c : cases) {
        reset_run_state();
        write_state({"1.2.8", "1.2.8"});
        host->set_interfaces({interface(1, c.first_devid), interface(2, c.second_devid)});
        RunOutcome r = run("n\nn\n");
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(count(r.console, kPromptEnd), 1u);
        EXPECT_NE(r.log.find("[WARNING]:Failed to get firmware image filename from nic_fw/NICFWData.xml\n"),
                  std::string::npos);
        EXPECT_TRUE(flashed().empty());
    }
}

TEST_F(UpdateRun, FlashOfOneAdapter)
{
    const std::string command = "(./bootutil -NIC=1 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/dz10.bin > out.txt 2>&1)\n";
    const struct {
        const char* name;
        std::string fault;
        uint32_t flags;
        const char* image;
        int result;
        uint32_t run_flag;
        std::string log_after_selecting;  // empty: nothing logged at all
        bool tool_runs;
    } cases[] = {
        {"success", "", NIC_HAS_ROM | NIC_UPDATE, "./nic_fw/dz10.bin", FWUPG_OK, RUN_FLASH_OK,
         "[INFO]   :MAC 001B21000001 Upgrade SUCCESS\n", true},
        {"not selected", "", NIC_HAS_ROM, "./nic_fw/dz10.bin", FWUPG_ERR, 0, "", false},
        {"tool fails", "flash_exit=7", NIC_UPDATE, "./nic_fw/dz10.bin", FWUPG_ERR, RUN_FLASH_FAILED,
         "[ERROR]  :Upgrade failed\n " + command + "\n", true},
        {"tool killed", "flash_signal=9", NIC_UPDATE, "./nic_fw/dz10.bin", FWUPG_ERR, RUN_FLASH_FAILED,
         "[ERROR]  :Upgrade failed\n " + command + "\n", true},
        // A PSID mismatch is a failure too, although the search succeeded.
        {"PSID mismatch", "psid=DZ10D3-07", NIC_UPDATE, "./nic_fw/dz10.bin", FWUPG_ERR, RUN_FLASH_FAILED,
         "[ERROR]  :Fimware upgrade on this device is not supported\n " + command + "\n", true},
        // Logged as refused, not as a command that failed; nor is the old
        // out.txt, which names a PSID mismatch, searched.
        {"shell syntax in the image path", "", NIC_UPDATE, "./nic_fw/dz10.bin;touch ran", FWUPG_ERR,
         RUN_FLASH_FAILED,
         "[ERROR]  :Image ./nic_fw/dz10.bin;touch ran for MAC 001B21000001 is refused: only a file name in "
         "./nic_fw/ of letters, digits and ._+- is allowed; not flashed.\n",
         false},
        {"a path out of the image directory", "", NIC_UPDATE, "./nic_fw/../bootutil", FWUPG_ERR, RUN_FLASH_FAILED,
         "[ERROR]  :Image ./nic_fw/../bootutil for MAC 001B21000001 is refused: only a file name in ./nic_fw/ of "
         "letters, digits and ._+- is allowed; not flashed.\n",
         false},
        {"no such image", "", NIC_UPDATE, "./nic_fw/gone.bin", FWUPG_ERR, RUN_FLASH_FAILED,
         "[ERROR]  :Image ./nic_fw/gone.bin for MAC 001B21000001 is refused: it cannot be opened (No such file or "
         "directory); not flashed.\n",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_run_state();
        write_state({"1.2.8"}, {c.fault});
        pkg.clear_tool_log();
        write_file(pkg.file("out.txt"), "Error: PSID Mismatch\n");
        NicInfo nic;
        nic.product_id = "Dazed Dual Port";
        nic.macaddress = mac_of(1);
        nic.nic_number = 1;
        nic.fw_image_path = c.image;
        nic.flags = c.flags;
        g_ninfo = {nic};

        EventLogCapture log;
        EXPECT_EQ(do_update_firmware(0), c.result);
        EXPECT_EQ(g_iFlag, c.run_flag);
        EXPECT_EQ(flash_commands(), c.tool_runs ? std::vector<std::string>{flash_line(1)} : std::vector<std::string>{});
        EXPECT_FALSE(file_exists(pkg.file("ran")));
        if (c.log_after_selecting.empty())
            EXPECT_EQ(log.text(), "");
        else
            EXPECT_EQ(log.text(), "[INFO]   :Selecting Dazed Dual Port MAC: 001B21000001 \n" + c.log_after_selecting);
        EXPECT_EQ(pkg.adapter_value(mac_of(1), "combo"), c.result == FWUPG_OK ? kImageCombo : "1.2.8");
    }
}

} // namespace
