// The discovery report writer, in process: golden layout, values, failures.
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "report/discovery_report.h"
#include "report/report_values.h"
#include "support/event_log_capture.h"
#include "support/example_adapter.h"
#include "support/report_schema.h"
#include "support/run_state.h"
#include "support/test_support.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::string kGolden = std::string(DAZED_SOURCE_DIR) + "/tests/report/golden/";

std::vector<std::string> entries_of(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

class ReportWriter : public ::testing::Test {
protected:
    TempDir dir;
    EventLogCapture log;

    void SetUp() override { point_report_at(dir.file("report.xml")); }
    void TearDown() override { reset_run_state(); }
    void point_report_at(const std::string& path)
    {
        ASSERT_TRUE(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, path.c_str()));
    }
    void use_records(std::vector<NicInfo> records)
    {
        g_ninfo = std::move(records);
        g_nNics = static_cast<int32_t>(g_ninfo.size());
    }
    // The report written for one record.
    std::string report_for(const NicInfo& nic)
    {
        use_records({nic});
        EXPECT_EQ(xml_discovery_report(), FWUPG_OK);
        return read_file(g_XMLDiscoveryReport);
    }
};

TEST_F(ReportWriter, ExampleMatchesTheGoldenReportByteForByte)
{
    // Records behind the supported ones are all zero and are not written.
    use_records({example_adapter(), NicInfo{}, NicInfo{}});
    ASSERT_EQ(xml_discovery_report(), FWUPG_OK);
    std::string written = read_file(dir.file("report.xml"));
    EXPECT_EQ(written, read_file(kGolden + "discovery_eth2.xml"));
    EXPECT_EQ(g_ninfo[0].flags, NIC_HAS_ROM | NIC_UPDATE);
    EXPECT_EQ(log.text(), "");
    if (schema_validator_available()) {
        std::string why;
        EXPECT_TRUE(validates_against_report_schema(written, &why)) << why;
    }
}

TEST_F(ReportWriter, ActionFollowsTheVersionOrder)
{
    struct Case {
        RomVersion installed, image;
        const char* item_type;
        uint32_t flags;
        const char* action;
        bool marked;
    };
    const Case cases[] = {
        {{1, 2, 8}, {1, 3, 21}, "ROM", NIC_HAS_ROM, "upgrade", true},
        {{1, 3, 21}, {1, 3, 21}, "ROM", NIC_HAS_ROM, "rewrite", true},
        {{1, 3, 22}, {1, 3, 21}, "ROM", NIC_HAS_ROM, "downgrade", false},
        // Major first, then minor, then build.
        {{2, 0, 5}, {1, 9, 9}, "ROM", NIC_HAS_ROM, "downgrade", false},
        {{1, 9, 9}, {2, 0, 0}, "ROM", NIC_HAS_ROM, "upgrade", true},
        {{1, 2, 3}, {1, 1, 5}, "ROM", NIC_HAS_ROM, "downgrade", false},
        {{0, 0, 0}, {0, 0, 1}, "ROM", NIC_HAS_ROM, "upgrade", true},
        {{0, 0, 0}, {0, 0, 0}, "ROM", NIC_HAS_ROM, "rewrite", true},
        {{1, 2, 8}, {1, 3, 21}, "COMBO ROM", NIC_HAS_ROM, "upgrade", true},
        {{1, 2, 8}, {1, 3, 21}, "PXE", NIC_HAS_ROM, "", false},
        {{1, 2, 8}, {1, 3, 21}, "ROM", 0, "", false},
    };
    for (const Case& c : cases) {
        NicInfo nic;
        nic.cur_version = c.installed;
        nic.img_version = c.image;
        nic.flags = c.flags;
        use_records({nic});
        char action[16] = "";
        recommend_XML_FW_action(c.item_type, action, sizeof action, 0);
        std::string name = format_text("%u.%u.%u against %u.%u.%u, %s", c.installed.major, c.installed.minor,
                                       c.installed.build, c.image.major, c.image.minor, c.image.build,
                                       c.item_type);
        EXPECT_STREQ(action, c.action) << name;
        EXPECT_EQ((g_ninfo[0].flags & NIC_UPDATE) != 0, c.marked) << name;
    }
}

TEST_F(ReportWriter, DeviceValues)
{
    struct Case {
        const char* name;
        void (*change)(NicInfo&);
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"bus 1a:1f.0", [](NicInfo& n) { n.bus_location = "1a:1f.0"; },
         {"<busnumber value=\"1a\"/>", "<devicenumber value=\"1f\"/>", "<funcnumber value=\"0\"/>"}},
        {"no bus location", [](NicInfo& n) { n.bus_location.clear(); },
         {"<busnumber value=\"\"/>", "<devicenumber value=\"\"/>", "<funcnumber value=\"\"/>"}},
        {"no function", [](NicInfo& n) { n.bus_location = "0b:00"; },
         {"<busnumber value=\"0b\"/>", "<devicenumber value=\"00\"/>", "<funcnumber value=\"\"/>"}},
        {"no colon", [](NicInfo& n) { n.bus_location = "0b"; },
         {"<busnumber value=\"0b\"/>", "<devicenumber value=\"\"/>", "<funcnumber value=\"\"/>"}},
        {"ids upper-case, four digits at least",
         [](NicInfo& n) {
             n.venid = 0x8086;
             n.devid = 0x10c9;
             n.subvenid = 0x0abc;
             n.subdevid = 0x12345;
         },
         {"<venid value=\"8086\"/>", "<devid value=\"10C9\"/>", "<subvenid value=\"0ABC\"/>",
          "<subdevid value=\"12345\"/>"}},
        {"escaping", [](NicInfo& n) { n.product_id = "A&B <C> \"D\""; },
         {"<product_id value=\"A&amp;B &lt;C&gt; &quot;D&quot;\"/>"}},
        {"absent texts",
         [](NicInfo& n) {
             n.product_id.clear();
             n.device_id.clear();
             n.macaddress.clear();
         },
         {"<product_id value=\"\"/>", "<device_id value=\"\"/>", "<macaddress value=\"\"/>",
          "<slotnumber value=\"\"/>"}},
        {"versions", [](NicInfo& n) { n.img_version = {9, 999, 9999}; },
         {"<version value=\"9.999.9999\"/>", "<active_version value=\"1.2.8\"/>"}},
        {"cut at 4095", [](NicInfo& n) { n.product_id = std::string(10000, 'x'); },
         {"<product_id value=\"" + std::string(4095, 'x') + "\"/>"}},
        // A two-byte character that the cut would split goes whole.
        {"cut on a character", [](NicInfo& n) { n.product_id = std::string(4094, 'a') + "\xC3\xA9"; },
         {"<product_id value=\"" + std::string(4094, 'a') + "\"/>"}},
    };
    for (const Case& c : cases) {
        NicInfo nic = example_adapter();
        c.change(nic);
        std::string report = report_for(nic);
        for (const std::string& line : c.lines)
            EXPECT_NE(report.find(line), std::string::npos) << c.name << ": " << line.substr(0, 80);
    }
}

TEST_F(ReportWriter, WritesOnlyRecordsWithARomInTableOrder)
{
    NicInfo first = example_adapter();
    first.device_id = "eth1";
    NicInfo no_rom = example_adapter();
    no_rom.device_id = "eth5";
    no_rom.flags = 0;
    NicInfo second = example_adapter();
    second.device_id = "eth3";
    use_records({first, no_rom, second, NicInfo{}});
    ASSERT_EQ(xml_discovery_report(), FWUPG_OK);
    std::string report = read_file(dir.file("report.xml"));

    size_t eth1 = report.find("\"eth1\"");
    size_t eth3 = report.find("\"eth3\"");
    EXPECT_NE(eth1, std::string::npos);
    EXPECT_NE(eth3, std::string::npos);
    EXPECT_LT(eth1, eth3);
    EXPECT_EQ(report.find("\"eth5\""), std::string::npos);
    size_t devices = 0, items = 0;
    for (const std::string& line : split_lines(report)) {
        devices += line == "        <device>";
        items += line == "            <fw_item>";
    }
    EXPECT_EQ(devices, 2u);
    EXPECT_EQ(items, 2u);
}

TEST_F(ReportWriter, FailuresWriteNothingAndSaySo)
{
    struct Case {
        const char* name;
        std::string path;
        const char* device_id;
        const char* extra_log;
        const char* why;
    };
    make_dirs(dir.file("a-directory"));
    const Case cases[] = {
        {"missing directory", dir.file("no/such/dir/report.xml"), "eth2", "", " (No such file or directory)"},
        {"a directory as the path", dir.file("a-directory"), "eth2", "", " (it is a directory)"},
        {"a directory with a slash", dir.file("a-directory/"), "eth2", "", " (it is a directory)"},
        // XML cannot carry a control character, not even escaped.
        {"control character", dir.file("report.xml"), "eth\x01", "[ERROR]  :Error at XmlTextWriterEndDocument\n", ""},
        {"broken UTF-8", dir.file("report.xml"), "eth\xFF", "[ERROR]  :Error at XmlTextWriterEndDocument\n", ""},
    };
    for (const Case& c : cases) {
        write_file(dir.file("report.xml"), "earlier report\n");
        EventLogCapture own_log;
        point_report_at(c.path);
        NicInfo nic = example_adapter();
        nic.device_id = c.device_id;
        use_records({nic});

        EXPECT_EQ(xml_discovery_report(), FWUPG_ERR) << c.name;
        EXPECT_EQ(own_log.text(),
                  std::string(c.extra_log) + "[ERROR]  :xml_discovery_report: Failed to write " + c.path + c.why + "\n")
            << c.name;
        // The earlier report stays whole, the directory stays a directory
        // and no temporary file is left behind.
        EXPECT_EQ(read_file(dir.file("report.xml")), "earlier report\n") << c.name;
        EXPECT_TRUE(entries_of(dir.file("a-directory")).empty()) << c.name;
        std::vector<std::string> names = entries_of(dir.path());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"a-directory", "report.xml"})) << c.name;
    }
}

TEST_F(ReportWriter, ReplacesAnEarlierReportWhole)
{
    write_file(dir.file("report.xml"), std::string(100000, 'o'));
    use_records({example_adapter()});
    ASSERT_EQ(xml_discovery_report(), FWUPG_OK);
    EXPECT_EQ(read_file(dir.file("report.xml")), read_file(kGolden + "discovery_eth2.xml"));
    EXPECT_EQ(entries_of(dir.path()).size(), 1u);

    struct stat st {};
    ASSERT_EQ(stat(dir.file("report.xml").c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

} // namespace
