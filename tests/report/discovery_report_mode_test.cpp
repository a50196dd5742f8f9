// The -d mode: inventory through scripted probes and the simulator, then the
// report; and once through the real binary on this machine's own adapter.
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "report/discovery_report.h"
#include "run/arguments.h"
#include "support/event_log_capture.h"
#include "support/fake_host.h"
#include "support/package_test.h"
#include "support/report_schema.h"
#include "support/run_state.h"
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

const char kSuccess[] = "[INFO]   :NIC Discovery XML successfully created.\n";

std::string value_of(const std::string& report, const std::string& element, size_t nth = 0)
{
    const std::string open = "<" + element + " value=\"";
    size_t at = 0;
    for (size_t k = 0; k <= nth; ++k) {
        at = report.find(open, k == 0 ? 0 : at + 1);
        if (at == std::string::npos)
            return "<missing>";
    }
    at += open.size();
    return report.substr(at, report.find('"', at) - at);
}

class DiscoveryMode : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        if (IsSkipped())
            return;
        g_iFlag = RUN_DISCOVERY;
        pkg.add_image_file("a.bin");
        pkg.write_catalog({{"Adapter A", "8086", "10C9", "8086", "A02C", "a.bin"}});
        pkg.write_state(
            "adapter nic=1 mac=00AA00000001 psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
            "adapter nic=2 mac=00AA00000002 psid=P1 combo=v1.3.22 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
            "image file=a.bin psid=P1 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n");
        set_report_path("report.xml");
    }
    void set_report_path(const std::string& path)
    {
        ASSERT_TRUE(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, path.c_str()));
    }
};

TEST_F(DiscoveryMode, ReportsTheSupportedAdaptersWithTheirActions)
{
    FakeHost host({
        pci_nic("eth0", "0000:1a:1f.0", "00AA00000001", 0x10C9),
        pci_nic("eth1", "0000:02:00.0", "00AA00000009", 0x9999),  // not in the catalog
        pci_nic("eth2", "0000:0b:00.0", "00AA00000002", 0x10C9),
    });
    ASSERT_EQ(discover_HW(), FWUPG_OK);
    EXPECT_EQ(log->text(), kSuccess);

    std::string report = read_file(pkg.file("report.xml"));
    std::string why;
    EXPECT_TRUE(validates_against_report_schema(report, &why)) << why;
    EXPECT_EQ(value_of(report, "device_id", 0), "eth0");
    EXPECT_EQ(value_of(report, "device_id", 1), "eth2");
    EXPECT_EQ(value_of(report, "device_id", 2), "<missing>");
    EXPECT_EQ(value_of(report, "busnumber", 0), "1a");
    EXPECT_EQ(value_of(report, "devicenumber", 0), "1f");
    EXPECT_EQ(value_of(report, "funcnumber", 1), "0");
    EXPECT_EQ(value_of(report, "product_id", 1), "Adapter A");
    EXPECT_EQ(value_of(report, "active_version", 0), "1.2.8");
    EXPECT_EQ(value_of(report, "action", 0), "upgrade");
    EXPECT_EQ(value_of(report, "active_version", 1), "1.3.22");
    EXPECT_EQ(value_of(report, "action", 1), "downgrade");
    // Nothing is flashed in this mode.
    EXPECT_EQ(pkg.adapter_value("00AA00000001", "combo"), "1.2.8");
    for (const std::string& args : pkg.tool_invocations())
        EXPECT_EQ(args.find("-up="), std::string::npos) << args;
}

TEST_F(DiscoveryMode, DefaultReportName)
{
    std::string prog = "dazed-fug", option = "-D";
    char* argv[] = {prog.data(), option.data(), nullptr};
    ASSERT_EQ(verify_cmd_line_options(2, argv), FWUPG_OK);
    FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000001", 0x10C9)});
    ASSERT_EQ(discover_HW(), FWUPG_OK);
    EXPECT_NE(read_file(pkg.file("nicdiscovery.xml")).find("<device_id value=\"eth0\"/>"), std::string::npos);
}

TEST_F(DiscoveryMode, FailuresWriteNoReport)
{
    struct Case {
        const char* name;
        std::vector<FakeInterface> interfaces;
        std::string path;
        std::string log;
    };
    const Case cases[] = {
        {"no supported adapter", {pci_nic("eth0", "0000:03:00.0", "00AA00000001", 0x9999)}, "report.xml",
         "[ERROR]  :No supported adapters found\n"},
        {"adapter the tool does not list", {pci_nic("eth0", "0000:03:00.0", "00AA0000000F", 0x10C9)}, "report.xml",
         "[ERROR]  :No supported adapters found\n"},
        {"directory that does not exist", {pci_nic("eth0", "0000:03:00.0", "00AA00000001", 0x10C9)},
         "no/such/dir/report.xml",
         "[ERROR]  :xml_discovery_report: Failed to write no/such/dir/report.xml (No such file or directory)\n"},
        {"the package directory itself", {pci_nic("eth0", "0000:03:00.0", "00AA00000001", 0x10C9)}, ".",
         "[ERROR]  :xml_discovery_report: Failed to write . (it is a directory)\n"},
    };
    for (const Case& c : cases) {
        EventLogCapture own_log;
        FakeHost host(c.interfaces);
        set_report_path(c.path);
        EXPECT_EQ(discover_HW(), FWUPG_ERR) << c.name;
        EXPECT_EQ(own_log.text(), c.log) << c.name;
        EXPECT_FALSE(file_exists(pkg.file("report.xml"))) << c.name;
    }
}

// The real binary on this machine's own PCI adapter, with the simulator
// standing in for the flash tool.
TEST(DiscoveryBinary, WritesTheReportForThisMachinesAdapter)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    SimPackage pkg;
    pkg.add_image_file("a.bin");
    pkg.write_catalog({catalog_entry_for(*nic, "Adapter & Co <A>", "a.bin")});
    pkg.write_state("adapter nic=1 mac=" + nic->mac +
                    " psid=P1 combo=2.100.123 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
                    "image file=a.bin psid=P1 combo=2.100.125 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n");

    struct Case {
        std::vector<std::string> args;
        const char* report;
    };
    const Case cases[] = {
        {{"-d", "Report.XML"}, "Report.XML"},
        {{"-d"}, "nicdiscovery.xml"},
        {{"/d"}, "nicdiscovery.xml"},
    };
    for (const Case& c : cases) {
        unlink(pkg.file(c.report).c_str());
        RunResult run = run_dazed_fug(c.args, pkg.path());
        EXPECT_EQ(run.exit_status, 0) << c.args[0] << "\n" << read_file(pkg.file("bootutil.log"));
        EXPECT_EQ(run.out, "");
        EXPECT_NE(read_file(pkg.file("bootutil.log")).find(kSuccess), std::string::npos);

        std::string report = read_file(pkg.file(c.report));
        std::string why;
        EXPECT_TRUE(validates_against_report_schema(report, &why)) << why;
        std::string bus = nic->bus_info.substr(nic->bus_info.find(':') + 1);
        EXPECT_EQ(value_of(report, "device_id"), nic->name);
        EXPECT_EQ(value_of(report, "venid"), hex4(nic->venid));
        EXPECT_EQ(value_of(report, "subdevid"), hex4(nic->subdevid));
        EXPECT_EQ(value_of(report, "macaddress"), nic->mac);
        EXPECT_EQ(value_of(report, "product_id"), "Adapter &amp; Co &lt;A&gt;");
        EXPECT_EQ(value_of(report, "busnumber") + ":" + value_of(report, "devicenumber") + "." +
                      value_of(report, "funcnumber"),
                  bus);
        // Nine-character versions are read whole and compared as such.
        EXPECT_EQ(value_of(report, "version", 1), "2.100.125");
        EXPECT_EQ(value_of(report, "active_version"), "2.100.123");
        EXPECT_EQ(value_of(report, "action"), "upgrade");
    }

    // A report that cannot be written is a failure the caller sees.
    RunResult run = run_dazed_fug({"-d", "no/such/dir/r.xml"}, pkg.path());
    EXPECT_EQ(run.exit_status, 6);
    std::string log = read_file(pkg.file("bootutil.log"));
    EXPECT_TRUE(contains(log, "[ERROR]  :xml_discovery_report: Failed to write no/such/dir/r.xml "
                              "(No such file or directory)\n"));
    EXPECT_EQ(log.find("successfully created"), std::string::npos);
}

} // namespace
