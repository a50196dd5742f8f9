// The default update through the real binary: this machine's own PCI
// network interface, the simulator as ./bootutil, answers on standard input.
#include "support/sim_package.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <optional>

using namespace testing_support;

namespace {

const char kOlder[] = "1.2.8";
const char kSame[] = "1.3.21";  // the image's
const char kNewer[] = "1.4.22";

const char kQuestion[] =
    "\nUpdate firmware : ROM combo version 1.2.8 to 1.3.21 ?\n"
    "\t\t\t\t\t(PXE update from 1.3.33 to 1.3.45)\n"
    "\t\t\t\t\t(Setup update from 2.2.6 to 2.2.8)\n"
    "\t\t\t\t\t(OCD update from 1.0.7 to 1.0.9)\n";
const char kSuccessLines[] = "NIC firmware update SUCCESS\nReboot the system for FW upgrade to take effect.\n";
const char kSummary[] = "\nNIC firmware update completed with errors. \n";
const char kFlashLine[] = "(./bootutil -NIC=1 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/host.bin > out.txt 2>&1)";

class UpdateEndToEnd : public ::testing::Test {
protected:
    std::optional<HostNic> nic;

    void SetUp() override
    {
        SKIP_UNLESS_HOST_NIC(nic);
    }

    // A package whose tool lists the host's NIC as adapter 1 with the
    // installed combo version and extra keys given.
    void prepare(SimPackage& pkg, const std::string& combo, const std::string& extra) const
    {
        pkg.offer_host_nic(*nic, "combo=" + combo + " " + extra);
    }
};

TEST_F(UpdateEndToEnd, AnswersAndOptions)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* input;
        const char* installed;
        const char* extra;
        int exit_status;
        bool flashed;
        std::vector<std::string> console;  // parts the console shows
        std::vector<std::string> log;      // parts the event log holds
    } cases[] = {
        {"yes", {}, "y\n", kOlder, "", 0, true, {" y/n/q (y):", kSuccessLines},
         {"[INFO]   :MAC MAC Upgrade SUCCESS\n", "Return Value: FWUPG_OK [0]"}},
        {"no", {}, "n\n", kOlder, "", 0, false, {" y/n/q (y):"}, {" y/n/q (y): n\n\n", "FWUPG_OK [0]"}},
        {"quit", {}, "q\n", kOlder, "", 5, false, {"Firmware upgrade cancelled by User\n"},
         {"[ERROR]  :Firmware upgrade cancelled by User\n", "Return Value: FWUPG_QUIT [5]"}},
        {"empty line, newer image", {}, "\n", kOlder, "", 0, true, {" y/n/q (y):", kSuccessLines}, {}},
        {"empty line, same image", {}, "\n", kSame, "", 0, false, {" y/n/q (n):"},
         {"same version as selected firmware"}},
        {"end of input", {}, "", kOlder, "", 5, false,
         {" y/n/q (y):Unknown input problem!\nQuit...\nFirmware upgrade cancelled by User\n"}, {"FWUPG_QUIT [5]"}},
        {"-s, newer image", {"-s"}, "", kOlder, "", 0, true, {}, {"Upgrade SUCCESS"}},
        {"-s, same image", {"-s"}, "", kSame, "", 0, false, {}, {"same version as selected firmware"}},
        {"-s -f, same image", {"-s", "-f"}, "", kSame, "", 0, true, {}, {"Upgrade SUCCESS"}},
        {"-s -g, older image", {"-s", "-g"}, "", kNewer, "", 0, true, {}, {"newer than selected firmware"}},
        {"-e, same image", {"-e"}, "\n", kSame, "", 0, true, {" y/n/q (y):", kSuccessLines}, {}},
        {"-e, older image", {"-e"}, "\n", kNewer, "", 0, false, {" y/n/q (n):"}, {}},
        {"-g, older image", {"-g"}, "\n", kNewer, "", 0, true, {" y/n/q (y):", kSuccessLines}, {}},
        {"-f, older image", {"-f"}, "\n", kNewer, "", 0, true, {" y/n/q (y):", kSuccessLines}, {}},
        {"-f, answered no", {"-f"}, "n\n", kNewer, "", 0, false, {" y/n/q (y):"}, {}},
        {"PSID mismatch", {}, "y\n", kOlder, "psid=P9", 6, false, {kSummary},
         {std::string("[ERROR]  :Fimware upgrade on this device is not supported\n ") + kFlashLine + "\n\n",
          "Return Value: FWUPG_ERR [6]"}},
        {"flash fails", {}, "y\n", kOlder, "flash_exit=3", 6, false, {kSummary},
         {std::string("[ERROR]  :Upgrade failed\n ") + kFlashLine + "\n\n"}},
        {"-s, flash fails", {"-s"}, "", kOlder, "flash_exit=3", 6, false, {}, {"Upgrade failed"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimPackage pkg;
        prepare(pkg, c.installed, c.extra);
        RunResult r = run_dazed_fug(c.args, pkg.path(), c.input);
        const std::string log = read_file(pkg.file("bootutil.log"));

        EXPECT_EQ(r.exit_status, c.exit_status) << r.out << r.err;
        EXPECT_EQ(pkg.adapter_value(nic->mac, "combo"), c.flashed ? kSame : c.installed);
        const bool attempted = c.flashed || c.exit_status == 6;
        std::vector<std::string> flashes;
        for (const std::string& line : pkg.tool_command_lines()) {
            if (contains(line, "-up="))
                flashes.push_back(line);
        }
        EXPECT_EQ(flashes, attempted ? std::vector<std::string>{std::string(kFlashLine) + "\\n"}
                                     : std::vector<std::string>{});

        const bool silent = !c.args.empty() && c.args[0] == "-s";
        if (silent) {
            EXPECT_EQ(r.out, "");
        }
        for (const std::string& part : c.console)
            EXPECT_TRUE(contains(r.out, part)) << "console lacks: " << part << "\n" << r.out;
        EXPECT_EQ(contains(r.out, kSuccessLines), c.flashed && !silent);
        for (std::string part : c.log) {
            if (size_t at = part.find("MAC MAC"); at != std::string::npos)
                part.replace(at + 4, 3, nic->mac);
            EXPECT_TRUE(contains(log, part)) << "log lacks: " << part << "\n" << log;
        }
    }
}

TEST_F(UpdateEndToEnd, ConsoleAndLogOfAnAcceptedUpdate)
{
    SimPackage pkg;
    prepare(pkg, kOlder, "");
    RunResult r = run_dazed_fug({}, pkg.path(), "yes\n");
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, std::string(kQuestion) + " y/n/q (y):" + kSuccessLines);
    EXPECT_EQ(r.err, "");

    const std::string log = read_file(pkg.file("bootutil.log"));
    const std::string events = std::string("[INFO]   :") + kQuestion + " y/n/q (y): yes\n\n" +
                               "[INFO]   :Selecting Host Adapter MAC: " + nic->mac + " \n" +
                               "[INFO]   :MAC " + nic->mac + " Upgrade SUCCESS\n" +
                               "[INFO]   :NIC firmware update SUCCESS\n" +
                               "[INFO]   :Reboot the system for FW upgrade to take effect.\n" +
                               "\nReturn Value: FWUPG_OK [0]\n";
    EXPECT_TRUE(contains(log, events)) << log;
    EXPECT_EQ(pkg.adapter_value(nic->mac, "pxe"), "1.3.45");
    EXPECT_EQ(pkg.adapter_value(nic->mac, "setup"), "2.2.8");
    EXPECT_EQ(pkg.adapter_value(nic->mac, "ocd"), "1.0.9");
    EXPECT_TRUE(contains(read_file(pkg.file("out.txt")), "successful"));
}

} // namespace
