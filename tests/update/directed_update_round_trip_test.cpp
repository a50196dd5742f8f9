// -d, then the report edited, then -u: through the real binary on this
// machine's adapter, and in process for several scripted adapters.
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "report/discovery_report.h"
#include "support/event_log_capture.h"
#include "support/fake_host.h"
#include "support/report_schema.h"
#include "support/run_state.h"
#include "support/sim_package.h"
#include "update/directed_update.h"

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

// The report with the nth action value replaced.
std::string with_action(std::string report, size_t nth, const std::string& action)
{
    const std::string open = "<action value=\"";
    size_t at = std::string::npos;
    for (size_t k = 0; k <= nth; ++k)
        at = report.find(open, at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos)
        return report;
    at += open.size();
    return report.replace(at, report.find('"', at) - at, action);
}

std::vector<std::string> flashes(const SimPackage& pkg)
{
    std::vector<std::string> out;
    for (const std::string& args : pkg.tool_invocations()) {
        if (args.find("-up=") != std::string::npos)
            out.push_back(args);
    }
    return out;
}

TEST(DirectedUpdateBinary, FlashesWhatTheEditedReportMarks)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    SimPackage pkg;
    pkg.add_image_file("a.bin");
    pkg.write_catalog({catalog_entry_for(*nic, "Adapter A", "a.bin")});
    const std::string state = "adapter nic=7 mac=" + nic->mac + " psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n" +
                              "image file=a.bin psid=P1 combo=1.3.21 pxe=2 setup=2 ocd=2\n";
    pkg.write_state(state);

    RunResult discovery = run_dazed_fug({"-d", "report.xml"}, pkg.path());
    ASSERT_EQ(discovery.exit_status, 0) << read_file(pkg.file("bootutil.log"));
    const std::string report = read_file(pkg.file("report.xml"));
    ASSERT_NE(report.find("<action value=\"upgrade\"/>"), std::string::npos) << report;
    std::string why;
    EXPECT_TRUE(validates_against_report_schema(report, &why)) << why;

    const std::pair<const char*, bool> cases[] = {
        {"upgrade", true}, {"rewrite", true}, {"downgrade", true},
        {"Upgrade", false}, {"", false},      {"none", false},
    };
    for (const auto& [action, flashed] : cases) {
        pkg.write_state(state);
        pkg.clear_tool_log();
        write_file(pkg.file("report.xml"), with_action(report, 0, action));
        RunResult update = run_dazed_fug({"-us", "report.xml"}, pkg.path());
        EXPECT_EQ(update.exit_status, 0) << action << "\n" << read_file(pkg.file("bootutil.log"));
        EXPECT_EQ(update.out, "") << action;
        EXPECT_EQ(flashes(pkg), flashed ? std::vector<std::string>{"-NIC=7 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/a.bin"}
                                        : std::vector<std::string>{})
            << '"' << action << '"';
        EXPECT_EQ(pkg.adapter_value(nic->mac, "combo"), flashed ? "1.3.21" : "1.2.8") << action;
    }

    // A failed flash is seen in the exit status.
    pkg.write_state("adapter nic=7 mac=" + nic->mac + " psid=P1 combo=1.2.8 flash_exit=4\n" +
                    "image file=a.bin psid=P1 combo=1.3.21\n");
    write_file(pkg.file("report.xml"), report);
    EXPECT_EQ(run_dazed_fug({"-us", "report.xml"}, pkg.path()).exit_status, 6);

    // A missing report: nothing flashed, 6.
    pkg.clear_tool_log();
    RunResult missing = run_dazed_fug({"-u", "gone.xml"}, pkg.path());
    EXPECT_EQ(missing.exit_status, 6);
    EXPECT_NE(read_file(pkg.file("bootutil.log")).find("[ERROR]  :read_discovery_report: Failed to open gone.xml\n"),
              std::string::npos);
    EXPECT_TRUE(flashes(pkg).empty());
}

TEST(DirectedUpdateRoundTrip, SeveralAdaptersFlashExactlyTheMarkedOnes)
{
    SimPackage pkg;
    if (!pkg.has_simulator())
        GTEST_SKIP() << "the flash-tool simulator is not built";
    ScopedCwd cwd(pkg.path());
    EventLogCapture log;
    pkg.add_image_file("a.bin");
    pkg.add_image_file("b.bin");
    pkg.write_catalog({{"Adapter A", "8086", "10C9", "8086", "A02C", "a.bin"},
                       {"Adapter B", "8086", "10D3", "8086", "A02C", "b.bin"}});
    pkg.write_state("adapter nic=1 mac=00AA00000001 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n"
                    "adapter nic=2 mac=00AA00000002 psid=P2 combo=2.0.5 pxe=1 setup=1 ocd=1\n"
                    "adapter nic=3 mac=00AA00000003 psid=P1 combo=1.3.21 pxe=1 setup=1 ocd=1\n"
                    "adapter nic=4 mac=00AA00000004 psid=P1 combo=1.3.22 pxe=1 setup=1 ocd=1\n"
                    "image file=a.bin psid=P1 combo=1.3.21 pxe=2 setup=2 ocd=2\n"
                    "image file=b.bin psid=P2 combo=1.9.9 pxe=2 setup=2 ocd=2\n");
    ASSERT_TRUE(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, "report.xml"));

    {
        FakeHost host({
            pci_nic("eth0", "0000:01:00.0", "00AA00000001", 0x10C9),
            pci_nic("eth1", "0000:02:00.0", "00AA00000002", 0x10D3),
            pci_nic("eth2", "0000:03:00.0", "00AA00000003", 0x10C9),
            pci_nic("eth3", "0000:04:00.0", "00AA00000004", 0x10C9),
        });
        g_iFlag = RUN_DISCOVERY;
        ASSERT_EQ(discover_HW(), FWUPG_OK);
    }
    std::string report = read_file(pkg.file("report.xml"));
    std::string why;
    EXPECT_TRUE(validates_against_report_schema(report, &why)) << why;
    // Installed 2.0.5 against the image's 1.9.9 is a downgrade: major first.
    for (const char* expected : {"upgrade", "downgrade", "rewrite", "downgrade"}) {
        size_t at = report.find("<action value=\"");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(report.compare(at + 15, strlen(expected) + 1, std::string(expected) + "\""), 0) << expected;
        report = report.substr(at + 1);
    }

    // The operator keeps eth1 and eth3 (downgrades), and declines eth0 and eth2.
    std::string edited = read_file(pkg.file("report.xml"));
    edited = with_action(edited, 0, "none");
    edited = with_action(edited, 2, "");
    write_file(pkg.file("report.xml"), edited);
    pkg.clear_tool_log();
    g_ninfo.clear();
    g_nNics = g_nDazedNICs = 0;
    g_iFlag = RUN_USE_XML | RUN_SILENT;

    EXPECT_EQ(read_discovery_report(), FWUPG_OK);
    EXPECT_EQ(flashes(pkg), (std::vector<std::string>{"-NIC=2 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/b.bin",
                                                      "-NIC=4 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/a.bin"}));
    EXPECT_EQ(pkg.adapter_value("00AA00000001", "combo"), "1.2.8");
    EXPECT_EQ(pkg.adapter_value("00AA00000002", "combo"), "1.9.9");
    EXPECT_EQ(pkg.adapter_value("00AA00000003", "combo"), "1.3.21");
    EXPECT_EQ(pkg.adapter_value("00AA00000004", "combo"), "1.3.21");
    // The directed update reads only the report: no inventory, no probes.
    EXPECT_EQ(g_nNics, 0);
    EXPECT_EQ(g_nDazedNICs, 0);

    reset_run_state();
}

} // namespace
