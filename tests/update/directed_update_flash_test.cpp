// The directed update's loop over report devices, in process, against the
// flash-tool simulator.
#include "directed_update_report_text.h"
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/event_log_capture.h"
#include "support/package_test.h"
#include "support/run_state.h"
#include "support/sim_package.h"
#include "tool/flash_tool.h"
#include "update/directed_update.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>

using namespace testing_support;
using namespace directed_update_test;

namespace {

const char kMac1[] = "00AA00000001";
const char kMac2[] = "00AA00000002";
const char kMac3[] = "00AA00000003";
const char kFlashA1[] = "-NIC=1 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/a.bin";
const char kFlashB2[] = "-NIC=2 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/b.bin";
const char kFlashA3[] = "-NIC=3 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/a.bin";

DeviceText device(const std::string& mac, const std::string& devid, const std::string& action)
{
    DeviceText d;
    d.macaddress = mac;
    d.devid = devid;
    d.action = action;
    return d;
}

// The log's lines other than progress.
std::string error_lines(const std::string& log)
{
    std::string errors;
    for (const std::string& line : split_lines(log)) {
        if (line.rfind("[INFO]", 0) != 0)
            errors += line + "\n";
    }
    return errors;
}

class DirectedUpdate : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        if (IsSkipped())
            return;
        g_iFlag = RUN_USE_XML | RUN_SILENT;
        pkg.add_image_file("a.bin");
        pkg.add_image_file("b.bin");
        pkg.write_catalog({{"Adapter A", "8086", "10C9", "8086", "A02C", "a.bin"},
                           {"Adapter B", "8086", "10D3", "8086", "A02C", "b.bin"}});
        pkg.write_state(std::string("adapter nic=1 mac=") + kMac1 + " psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n" +
                        "adapter nic=2 mac=" + kMac2 + " psid=P2 combo=2.0.0 pxe=1 setup=1 ocd=1\n" +
                        "adapter nic=3 mac=" + kMac3 + " psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n" +
                        "image file=a.bin psid=P1 combo=1.3.21 pxe=2 setup=2 ocd=2\n" +
                        "image file=b.bin psid=P2 combo=1.9.9 pxe=2 setup=2 ocd=2\n");
        ASSERT_TRUE(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, "report.xml"));
    }
    // One run of -u; the outcome bits only accumulate within a process.
    int run(const std::string& report)
    {
        g_iFlag = RUN_USE_XML | RUN_SILENT;
        write_file(pkg.file("report.xml"), report);
        return read_discovery_report();
    }
    // Argument lists of the flash commands given, in order.
    std::vector<std::string> flashes() const { return containing(pkg.tool_invocations(), "-up="); }
    std::vector<std::string> lookups() const { return containing(pkg.tool_command_lines(), "| grep MACAddress |"); }
    static std::string lookup_of(const char* mac)
    {
        std::string command = cmd_find_adapter(mac);
        command.pop_back();
        return command + "\\n";
    }
};

TEST_F(DirectedUpdate, FlashesTheMarkedDevicesInDocumentOrder)
{
    ASSERT_EQ(run(report_xml({device(kMac3, "10C9", "rewrite"), device(kMac1, "10C9", "none"),
                              device(kMac2, "10D3", "downgrade")})),
              FWUPG_OK);
    EXPECT_EQ(flashes(), (std::vector<std::string>{kFlashA3, kFlashB2}));
    // Only the marked devices are looked up, and the lookup's file removed.
    EXPECT_EQ(lookups(), (std::vector<std::string>{lookup_of(kMac3), lookup_of(kMac2)}));
    EXPECT_FALSE(file_exists(pkg.file(TMP_DATA_TMP)));
    EXPECT_EQ(pkg.adapter_value(kMac3, "combo"), "1.3.21");
    EXPECT_EQ(pkg.adapter_value(kMac1, "combo"), "1.2.8");
    EXPECT_EQ(pkg.adapter_value(kMac2, "combo"), "1.9.9");

    ASSERT_EQ(g_ninfo.size(), 3u);
    EXPECT_EQ(g_ninfo[0].nic_number, 3);
    EXPECT_EQ(g_ninfo[1].nic_number, 0);
    EXPECT_EQ(g_ninfo[2].fw_file, "b.bin");
    EXPECT_EQ(g_ninfo[2].fw_image_path, "./nic_fw/b.bin");
    // The report's product name stays; the catalog's is not taken over.
    EXPECT_EQ(g_ninfo[2].product_id, "Dual Port Gigabit Server Adapter");
    EXPECT_EQ(log->text().find("[ERROR]"), std::string::npos) << log->text();
}

TEST_F(DirectedUpdate, CatalogMissEndsTheRun)
{
    EXPECT_EQ(run(report_xml({device(kMac1, "10C9", "upgrade"), device(kMac3, "9999", "none"),
                              device(kMac2, "10D3", "upgrade")})),
              FWUPG_ERR);
    EXPECT_EQ(flashes(), std::vector<std::string>{kFlashA1});
    EXPECT_EQ(lookups().size(), 1u);  // the unmarked device is not looked up by MAC
    EXPECT_NE(log->text().find("[ERROR]  :read_discovery_report: Error at read_NIC_FW_xml_file\n"), std::string::npos);
}

TEST_F(DirectedUpdate, MacTextsOtherThanTwelveHexDigitsNeverReachTheShell)
{
    const char* const bad_macs[] = {
        "", "00AA0000000", "00AA000000011", "00AA0000000G", "00:AA:00:00:00:01", "$(touch pwned)",
        "00AA00000001;touch pwned", "`touch pwned`",
    };
    for (const char* mac : bad_macs) {
        EventLogCapture own_log;
        pkg.clear_tool_log();
        EXPECT_EQ(run(report_xml({device(kMac1, "10C9", "upgrade"), device(mac, "10C9", "upgrade"),
                                  device(kMac3, "10C9", "upgrade")})),
                  FWUPG_ERR)
            << mac;
        // The others go on; the bad one is neither looked up nor flashed.
        EXPECT_EQ(flashes(), (std::vector<std::string>{kFlashA1, kFlashA3})) << mac;
        EXPECT_EQ(lookups(), (std::vector<std::string>{lookup_of(kMac1), lookup_of(kMac3)})) << mac;
        EXPECT_FALSE(file_exists(pkg.file("pwned"))) << mac;
        EXPECT_EQ(error_lines(own_log.text()),
                  "[ERROR]  :read_discovery_report: Invalid MAC address \"" + std::string(mac) +
                      "\" of device eth2, not flashed\n")
            << mac;
    }
}

TEST_F(DirectedUpdate, MarkedDevicesThatCannotBeFlashedSafely)
{
    pkg.write_state(pkg.state() + "adapter nic=4 mac=00AA00000004 psid=P1 combo=1.2.8 omit=list\n"
                                  "adapter nic=5 mac=00AA00000005 psid=P1 combo=1.2.8 list_as=1234567890\n");
    pkg.write_catalog({{"Adapter A", "8086", "10C9", "8086", "A02C", "a.bin"},
                       {"Adapter B", "8086", "10D3", "8086", "A02C", "b.bin;touch pwned"},
                       {"Adapter C", "8086", "10D5", "8086", "A02C", "../../evil.bin"}});
    const std::string only_names = " is refused: only a file name in ./nic_fw/ of letters, digits and ._+- is "
                                   "allowed; not flashed.\n";
    auto not_listed = [](const std::string& mac) {
        return "read_discovery_report: MAC " + mac + " not listed by the flash tool, not flashed\n";
    };
    struct Case {
        const char* mac;
        const char* devid;
        const char* action;
        int result;
        std::string log;
    };
    const Case cases[] = {
        {"00AA0000000F", "10C9", "upgrade", FWUPG_ERR, not_listed("00AA0000000F")},  // not on this host
        {"00AA00000004", "10C9", "upgrade", FWUPG_ERR, not_listed("00AA00000004")},  // left out of the list
        {"00aa00000001", "10C9", "upgrade", FWUPG_ERR, not_listed("00aa00000001")},  // searched as written
        {"00AA00000005", "10C9", "upgrade", FWUPG_ERR,  // listed with a number that would be cut
         "The flash tool lists MAC 00AA00000005 with the adapter number \"1234567890\", which cannot be used; not flashed.\n"},
        {"00AA0000000F", "10C9", "none", FWUPG_OK, ""},  // nothing to flash, nothing wrong
        {"", "10C9", "none", FWUPG_OK, ""},               // nor is the MAC text of such a device judged
        {"$(touch pwned)", "10C9", "", FWUPG_OK, ""},
        {kMac2, "10D3", "upgrade", FWUPG_ERR, "Image ./nic_fw/b.bin;touch pwned for MAC 00AA00000002" + only_names},
        {kMac2, "10D5", "upgrade", FWUPG_ERR, "Image ./nic_fw/../../evil.bin for MAC 00AA00000002" + only_names},
        {kMac2, "10D3", "none", FWUPG_OK, ""},
    };
    for (const Case& c : cases) {
        EventLogCapture own_log;
        pkg.clear_tool_log();
        EXPECT_EQ(run(report_xml({device(c.mac, c.devid, c.action), device(kMac3, "10C9", "upgrade")})), c.result)
            << c.mac;
        // No flash with -NIC=0; the device after it goes on.
        EXPECT_EQ(flashes(), std::vector<std::string>{kFlashA3}) << c.mac;
        EXPECT_FALSE(file_exists(pkg.file("pwned")));
        EXPECT_EQ(error_lines(own_log.text()), c.log.empty() ? "" : "[ERROR]  :" + c.log) << c.mac;
    }
}

TEST_F(DirectedUpdate, AFailedFlashFailsTheRunAfterTheOthers)
{
    pkg.write_state("adapter nic=1 mac=00AA00000001 psid=P1 combo=1.2.8 flash_exit=5\n"
                    "adapter nic=3 mac=00AA00000003 psid=P1 combo=1.2.8\n"
                    "image file=a.bin psid=P1 combo=1.3.21\n");
    EXPECT_EQ(run(report_xml({device(kMac1, "10C9", "upgrade"), device(kMac3, "10C9", "upgrade")})), FWUPG_ERR);
    EXPECT_EQ(flashes(), (std::vector<std::string>{kFlashA1, kFlashA3}));
    EXPECT_EQ(pkg.adapter_value(kMac1, "combo"), "1.2.8");
    EXPECT_EQ(pkg.adapter_value(kMac3, "combo"), "1.3.21");
}

// A tool that cannot list or a catalog that cannot be read is an error
// before anything is flashed, never "nothing to do".
TEST_F(DirectedUpdate, UnusableToolOrCatalogEndsTheRunBeforeAnyFlash)
{
    const std::string good_state = pkg.state();
    const struct {
        const char* name;
        std::function<void()> break_it;
        const char* logged;
    } cases[] = {
        {"list fails", [&] { pkg.write_state(good_state + "adapter nic=9 mac=00AA00000009 list_exit=3\n"); },
         "[ERROR]  :The flash tool ./bootutil failed to list its adapters (exit 3).\n"},
        {"catalog missing", [&] { unlink(pkg.file("nic_fw/NICFWData.xml").c_str()); },
         "[ERROR]  :Unable to open nic_fw/NICFWData.xml\n[ERROR]  :read_discovery_report: Error at read_NIC_FW_xml_file\n"},
        {"catalog malformed", [&] { write_file(pkg.file("nic_fw/NICFWData.xml"), "<nics><nic venid="); },
         "[ERROR]  :The firmware catalog nic_fw/NICFWData.xml is malformed"},
    };
    for (const auto& c : cases) {
        EventLogCapture own_log;
        c.break_it();
        testing::internal::CaptureStdout();
        EXPECT_EQ(run(report_xml({device(kMac1, "10C9", "upgrade")})), FWUPG_ERR) << c.name;
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(flashes().empty()) << c.name;
        EXPECT_NE(own_log.text().find(c.logged), std::string::npos) << c.name << "\n" << own_log.text();
        pkg.write_state(good_state);
        pkg.write_catalog({{"Adapter A", "8086", "10C9", "8086", "A02C", "a.bin"}});
    }
}

// A report's texts cannot write lines of their own into the log.
TEST_F(DirectedUpdate, ReportTextsCannotForgeLogLines)
{
    pkg.write_state("adapter nic=1 mac=00AA00000001 psid=P1 combo=1.2.8 flash_exit=5\n"
                    "image file=a.bin psid=P1 combo=1.3.21\n");
    DeviceText forged = device(kMac1, "10C9", "upgrade");
    forged.product_id = "A&#10;[INFO]   :MAC 00AA00000001 Upgrade SUCCESS&#13;";
    DeviceText bad_mac = device("00AA&#10;[INFO]   :MAC 00AA00000003 Upgrade SUCCESS", "10C9", "upgrade");
    EXPECT_EQ(run(report_xml({forged, bad_mac})), FWUPG_ERR);
    // The one flash failed: no line may claim a success.
    for (const std::string& line : split_lines(log->text()))
        EXPECT_NE(line.rfind("[INFO]   :MAC", 0), 0u) << line;
    EXPECT_NE(log->text().find("[INFO]   :Selecting A\\n[INFO]   :MAC 00AA00000001 Upgrade SUCCESS\\r MAC: 00AA00000001 \n"),
              std::string::npos)
        << log->text();
    EXPECT_NE(log->text().find("Invalid MAC address \"00AA\\n[INFO]   :MAC"), std::string::npos) << log->text();
}

TEST_F(DirectedUpdate, ReportShapesThatFlashNothing)
{
    struct Case {
        const char* name;
        std::string report;  // empty: no report file at all
        int result;
    };
    const std::string full = report_xml({device(kMac1, "10C9", "upgrade")});
    const Case cases[] = {
        {"no devices", report_xml(std::string()), FWUPG_OK},
        {"nothing marked", report_xml({device(kMac1, "10C9", "none")}), FWUPG_OK},
        {"missing report", "", FWUPG_ERR},
        {"truncated", full.substr(0, full.size() - 20), FWUPG_ERR},
        {"malformed", report_xml(device_xml(device(kMac1, "10C9", "upgrade")) + "</device>"), FWUPG_ERR},
    };
    // A tool that fails its list changes nothing for a report that asks for no flash.
    pkg.write_state(pkg.state() + "adapter nic=9 mac=00AA00000009 list_exit=3\n");
    for (const Case& c : cases) {
        pkg.clear_tool_log();
        unlink(pkg.file("report.xml").c_str());
        int result = c.report.empty() ? read_discovery_report() : run(c.report);
        EXPECT_EQ(result, c.result) << c.name;
        // None asks for a flash, so the tool is never run.
        EXPECT_TRUE(pkg.tool_invocations().empty()) << c.name;
    }
}

TEST_F(DirectedUpdate, SelfClosedDeviceShiftsTheRecords)
{
    // The self-closed device ends no record: the next device fills its
    // record and the table's last record stays empty: nothing marks it, but
    // it has no catalog entry.
    std::string body = device_xml(device(kMac1, "10C9", "upgrade")) + "        <device/>\n" +
                       device_xml(device(kMac3, "10C9", "upgrade"));
    EXPECT_EQ(run(report_xml(body)), FWUPG_ERR);
    EXPECT_EQ(flashes(), (std::vector<std::string>{kFlashA1, kFlashA3}));
    EXPECT_EQ(error_lines(log->text()), "[ERROR]  :read_discovery_report: Error at read_NIC_FW_xml_file\n");
}

} // namespace
