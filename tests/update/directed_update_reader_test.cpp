// Reading a discovery report into the table, in process.
#include "directed_update_report_text.h"
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/event_log_capture.h"
#include "support/run_state.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"
#include "update/axtoi.h"
#include "update/directed_update.h"


#include <gtest/gtest.h>

#include <sys/stat.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

using namespace testing_support;
using namespace directed_update_test;

namespace {

class ReportReader : public ::testing::Test {
protected:
    TempDir dir;
    EventLogCapture log;
    int count = -1;

    void SetUp() override { point_report_at(dir.file("report.xml")); }
    void TearDown() override { reset_run_state(); }
    void point_report_at(const std::string& path)
    {
        ASSERT_TRUE(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, path.c_str()));
    }
    int load(const std::string& xml)
    {
        write_file(dir.file("report.xml"), xml);
        return load_discovery_report(count);
    }
    const NicInfo& record(size_t i) const { return g_ninfo.at(i); }
};

TEST_F(ReportReader, ExampleReportGivesItsRecord)
{
    point_report_at(std::string(DAZED_SOURCE_DIR) + "/tests/report/golden/discovery_eth2.xml");
    ASSERT_EQ(load_discovery_report(count), FWUPG_OK);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(g_ninfo.size(), 1u);
    const NicInfo& nic = record(0);
    EXPECT_EQ(nic.device_id, "eth2");
    EXPECT_EQ(nic.venid, 0x8086u);
    EXPECT_EQ(nic.devid, 0x10C9u);
    EXPECT_EQ(nic.subvenid, 0x8086u);
    EXPECT_EQ(nic.subdevid, 0xA02Cu);
    EXPECT_EQ(nic.macaddress, "001B21123456");
    EXPECT_EQ(nic.product_id, "Dual Port Gigabit Server Adapter");
    EXPECT_EQ(nic.busnumber, "0b");
    EXPECT_EQ(nic.devicenumber, "00");
    EXPECT_EQ(nic.funcnumber, "0");
    EXPECT_EQ(nic.slotnumber, "");
    EXPECT_EQ(nic.bus_location, "0b:00.0");
    EXPECT_EQ(version_text(nic.cur_version), "1.2.8");
    EXPECT_EQ(nic.flags, NIC_HAS_ROM | NIC_UPDATE);
    // The available version is not read back.
    EXPECT_EQ(version_text(nic.img_version), "0.0.0");
    EXPECT_EQ(nic.nic_number, 0);
    EXPECT_EQ(nic.fw_file, "");
    EXPECT_EQ(g_nNics, 0);
    EXPECT_EQ(g_nDazedNICs, 0);
    EXPECT_EQ(log.text(), "");
}

TEST(ReportAxtoi, CasesTable)
{
    const std::pair<const char*, int> cases[] = {
        {"8086", 0x8086}, {"10c9", 0x10C9}, {"10C9", 0x10C9}, {"80861", 0x8086}, {"0x8086", 0},
        {"12G4", 0x12},   {"", 0},          {"-1", 0xD1},     {"a02c", 0xA02C},  {"*+,-", 0xABCD},
        {":;<=", 0xABCD}, {">?./", 0xEFEF}, {"0", 0},         {" 12", 0},        {"FFFF", 0xFFFF},
        {"g", 0},         {"@", 0},         {")", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(axtoi(text), value) << '"' << text << '"';
    EXPECT_EQ(axtoi(nullptr), 0);
}

TEST_F(ReportReader, ActionMarksOnlyWithALowerCaseWord)
{
    const std::pair<const char*, bool> cases[] = {
        {"upgrade", true},  {"rewrite", true}, {"downgrade", true}, {"please upgrade now", true},
        {"Upgrade", false}, {"", false},       {"none", false},     {"REWRITE", false},
    };
    for (const auto& [action, marked] : cases) {
        DeviceText d;
        d.action = action;
        ASSERT_EQ(load(report_xml({d})), FWUPG_OK) << action;
        EXPECT_EQ((record(0).flags & NIC_UPDATE) != 0, marked) << '"' << action << '"';
        // Whatever the action, the bus location is composed there.
        EXPECT_EQ(record(0).bus_location, "0b:00.0") << action;
    }
}

TEST_F(ReportReader, ActiveVersionTable)
{
    struct Case {
        const char* type;
        const char* active_version;
        RomVersion version;
        bool has_rom;
        bool wrong_type_logged;
    };
    const Case cases[] = {
        {"ROM", "1.2.8", {1, 2, 8}, true, false},
        {"ROM", "n/a", {0, 0, 0}, false, false},
        {"ROM", "1.2.8 (n/a)", {0, 0, 0}, false, false},
        {"ROM", "", {0, 0, 0}, true, false},
        {"ROM", "12.380.1234", {2, 380, 1234}, true, false},
        {"COMBO ROM", "3.4.5", {3, 4, 5}, true, false},
        {"PXE", "1.2.8", {0, 0, 0}, false, true},
        {"rom", "1.2.8", {0, 0, 0}, false, true},
        // "n/a" is tested before the type.
        {"PXE", "n/a", {0, 0, 0}, false, false},
    };
    for (const Case& c : cases) {
        EventLogCapture own_log;
        DeviceText d;
        d.type = c.type;
        d.active_version = c.active_version;
        ASSERT_EQ(load(report_xml({d})), FWUPG_OK);
        const NicInfo& nic = record(0);
        std::string name = std::string(c.type) + " " + c.active_version;
        EXPECT_EQ(nic.cur_version.major, c.version.major) << name;
        EXPECT_EQ(nic.cur_version.minor, c.version.minor) << name;
        EXPECT_EQ(nic.cur_version.build, c.version.build) << name;
        EXPECT_EQ((nic.flags & NIC_HAS_ROM) != 0, c.has_rom) << name;
        EXPECT_EQ(own_log.text(), c.wrong_type_logged ? "[ERROR]  :read_FW_cur_version: Error Wrong image type\n" : "")
            << name;
    }
}

TEST_F(ReportReader, ItemTypeCarriesOver)
{
    // The first device has no item type of its own: the header's DAZED_NIC
    // applies. The third takes the second's ROM.
    DeviceText first, second, third;
    first.item_has_type = false;
    first.device_id = "eth1";
    second.device_id = "eth2";
    second.active_version = "1.1.1";
    third.item_has_type = false;
    third.device_id = "eth3";
    third.active_version = "3.3.3";
    ASSERT_EQ(load(report_xml({first, second, third})), FWUPG_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(record(0).flags & NIC_HAS_ROM, 0u);
    EXPECT_EQ(record(1).cur_version.build, 1u);
    EXPECT_EQ(record(2).cur_version.build, 3u);
    EXPECT_EQ(record(2).flags & NIC_HAS_ROM, NIC_HAS_ROM);
    EXPECT_EQ(log.text(), "[ERROR]  :read_FW_cur_version: Error Wrong image type\n");
}

TEST_F(ReportReader, DocumentShapes)
{
    DeviceText a, b;
    a.device_id = "eth1";
    b.device_id = "eth2";
    const std::string field = "            <device_id value=\"stray\"/>\n";
    struct Case {
        const char* name;
        std::string xml;
        int count;
        std::vector<std::string> device_ids;  // of the records, in order
    };
    const Case cases[] = {
        {"no devices", report_xml(std::string()), 0, {}},
        {"no devices element", "<?xml version=\"1.0\"?>\n<velor_rom_discovery/>\n", 0, {}},
        {"two devices in order", report_xml({a, b}), 2, {"eth1", "eth2"}},
        // A self-closed device counts but ends no record: the next device
        // fills the same record and the last one stays empty.
        {"self-closed device", report_xml("        <device/>\n" + device_xml(b)), 2, {"eth2", ""}},
        {"fields after the last device", report_xml(device_xml(a) + field), 1, {"eth1"}},
        {"fields and no device", report_xml(field), 0, {}},
        {"fields before the first device", report_xml(field + device_xml(a)), 1, {"eth1"}},
        {"element names only count", report_xml("<x device_id=\"no\"/><device_ids value=\"no\"/>" + device_xml(a)),
         1, {"eth1"}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(load(c.xml), FWUPG_OK) << c.name;
        EXPECT_EQ(count, c.count) << c.name;
        ASSERT_EQ(g_ninfo.size(), c.device_ids.size()) << c.name;
        for (size_t i = 0; i < c.device_ids.size(); ++i)
            EXPECT_EQ(record(i).device_id, c.device_ids[i]) << c.name << " record " << i;
    }
    // The stray field before the first device lands in record 0 and is then
    // replaced by the device's own.
    ASSERT_EQ(load(report_xml(field + "<device></device>")), FWUPG_OK);
    EXPECT_EQ(record(0).device_id, "stray");
}

TEST_F(ReportReader, AttributesAndBusLocation)
{
    // Every attribute acts, whatever its name, in document order.
    std::string xml = report_xml(
        "<device><macaddress value=\"001B21000001\" other=\"001B21000002\"/>"
        "<busnumber v=\"1a\"/><devicenumber/><funcnumber x=\"0\"/>"
        "<action a=\"upgrade\" b=\"none\"/></device>"
        "<device><action value=\"upgrade\"/><busnumber value=\"0c\"/></device>"
        "<device><busnumber value=\"" + std::string(40, 'b') + "\"/><devicenumber value=\"" + std::string(40, 'd') +
        "\"/><action value=\"\"/></device>");
    ASSERT_EQ(load(xml), FWUPG_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(record(0).macaddress, "001B21000002");
    EXPECT_EQ(record(0).bus_location, "1a:.0");
    EXPECT_EQ(record(0).flags & NIC_UPDATE, NIC_UPDATE);
    // Bus parts after the action: composed from what was there.
    EXPECT_EQ(record(1).bus_location, ":.");
    EXPECT_EQ(record(1).busnumber, "0c");
    // Cut at the 31 characters of the bus buffer.
    EXPECT_EQ(record(2).bus_location, std::string(31, 'b'));
}

TEST_F(ReportReader, BigInputsAreBounded)
{
    // As many devices as a report may list; one more is refused.
    std::string body;
    for (int i = 0; i < REPORT_MAX_DEVICES; ++i) {
        DeviceText d;
        d.device_id = "eth" + std::to_string(i);
        body += device_xml(d);
    }
    ASSERT_EQ(load(report_xml(body)), FWUPG_OK);
    ASSERT_EQ(count, REPORT_MAX_DEVICES);
    EXPECT_EQ(record(REPORT_MAX_DEVICES - 1).device_id, "eth" + std::to_string(REPORT_MAX_DEVICES - 1));
    EXPECT_EQ(record(REPORT_MAX_DEVICES - 1).flags, NIC_HAS_ROM | NIC_UPDATE);
    {
        EventLogCapture own_log;
        EXPECT_EQ(load(report_xml(body + device_xml(DeviceText{}))), FWUPG_ERR);
        EXPECT_EQ(count, 0);
        EXPECT_NE(own_log.text().find("lists more than 1024 devices; nothing is flashed\n"), std::string::npos);
    }

    // A value of a megabyte is cut at 4095 characters, texts and type alike.
    DeviceText big;
    big.product_id = std::string(1 << 20, 'p');
    big.type = "ROM" + std::string(1 << 20, 't');
    big.action = std::string(1 << 20, 'a') + "upgrade";
    ASSERT_EQ(load(report_xml({big})), FWUPG_OK);
    EXPECT_EQ(record(0).product_id, std::string(4095, 'p'));
    EXPECT_EQ(record(0).flags & NIC_HAS_ROM, NIC_HAS_ROM);
    // The word stood past the cut.
    EXPECT_EQ(record(0).flags & NIC_UPDATE, 0u);

    // Nesting up to the depth limit (with the report's own five levels) is
    // read through; one more is not.
    std::string deep;
    for (int i = 0; i < REPORT_MAX_DEPTH - 5; ++i)
        deep += "<n>";
    deep += device_xml(DeviceText{});
    for (int i = 0; i < REPORT_MAX_DEPTH - 5; ++i)
        deep += "</n>";
    ASSERT_EQ(load(report_xml(deep)), FWUPG_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(record(0).device_id, "eth2");
    EXPECT_EQ(load(report_xml("<n>" + deep + "</n>")), FWUPG_ERR);
}

TEST_F(ReportReader, UnreadableReportsFail)
{
    make_dirs(dir.file("a-directory"));
    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<device>";
    const std::string full = report_xml({DeviceText{}});
    ASSERT_EQ(symlink("plain.xml", dir.file("link.xml").c_str()), 0);
    // A megabyte whose one element has 100,000 attributes took minutes.
    std::string bomb = "<velor_rom_discovery";
    for (int i = 0; i < 100000; ++i)
        bomb += " a" + std::to_string(i) + "=''";
    bomb += "/>";
    struct Case {
        const char* name;
        std::string path;
        bool write;
        std::string content;
        const char* message;
    };
    const std::string gzip = dir.file("r.xml.gz");
    write_file(dir.file("plain.xml"), full);
    ASSERT_EQ(std::system(("gzip -c '" + dir.file("plain.xml") + "' > '" + gzip + "'").c_str()), 0);
    const Case cases[] = {
        {"missing", dir.file("missing.xml"), false, "", "Failed to open %s"},
        {"no path", "", false, "", "Failed to open %s"},
        {"a URL", "http://127.0.0.1:9/r.xml", false, "", "Failed to open %s"},
        {"a directory", dir.file("a-directory"), false, "", "%s is not a regular file; it is not read"},
        {"a character device", "/dev/zero", false, "", "%s is not a regular file; it is not read"},
        {"a symbolic link", dir.file("link.xml"), false, "", "%s is a symbolic link; it is not read"},
        {"compressed", gzip, false, "", "%s holds a NUL byte, which no XML text in UTF-8 does; it is not read"},
        {"attribute bomb", dir.file("r.xml"), true, bomb,
         "%s has an element with more than 8 attributes (line 1); it is not read"},
        {"too large", dir.file("r.xml"), true, full + std::string(REPORT_MAX_BYTES, ' '),
         "%s is larger than 4194304 bytes; it is not read"},
        {"empty", dir.file("r.xml"), true, "", "Failed to parse %s"},
        {"truncated", dir.file("r.xml"), true, full.substr(0, full.size() / 2), "Failed to parse %s"},
        {"mismatched tags", dir.file("r.xml"), true, report_xml("<device></devices>"), "Failed to parse %s"},
        {"not xml", dir.file("r.xml"), true, "this is no report\n", "Failed to parse %s"},
        {"deep nesting", dir.file("r.xml"), true, nested, "%s nests elements deeper than 16 (line 1); it is not read"},
    };
    for (const Case& c : cases) {
        EventLogCapture own_log;
        if (c.write)
            write_file(c.path, c.content);
        point_report_at(c.path);
        EXPECT_EQ(load_discovery_report(count), FWUPG_ERR) << c.name;
        EXPECT_EQ(count, 0) << c.name;
        EXPECT_EQ(own_log.text(), "[ERROR]  :read_discovery_report: " + format_text(c.message, c.path.c_str()) + "\n")
            << c.name;
    }
}

// As root the report decides what is flashed: one that someone else could
// have written is not read.
TEST_F(ReportReader, AsRootOnlyAReportNoOneElseCanChangeIsRead)
{
    testing_support::ScopedHostSeam seam;
    seam->effective_uid = [] { return static_cast<uid_t>(0); };
    for (mode_t mode : {0644, 0666}) {
        write_file(dir.file("r.xml"), report_xml({DeviceText{}}));
        ASSERT_EQ(chmod(dir.file("r.xml").c_str(), mode), 0);
        point_report_at(dir.file("r.xml"));
        EventLogCapture own_log;
        EXPECT_EQ(load_discovery_report(count), mode == 0644 ? FWUPG_OK : FWUPG_ERR) << std::oct << mode;
        EXPECT_EQ(own_log.text(), mode == 0644 ? "" : "[ERROR]  :read_discovery_report: " + dir.file("r.xml") +
                                                          " is writable by group or others; it is not read\n");
    }
}

// A termination signal during the reading ends it within a node, with
// nothing read and no message of the reader's own: the run says why.
TEST_F(ReportReader, SignalStopsTheReading)
{
    std::string body;
    for (int i = 0; i < REPORT_MAX_DEVICES; ++i)
        body += device_xml(DeviceText{});
    write_file(dir.file("report.xml"), report_xml(body));
    install_interrupt_handlers();
    struct sigevent event {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGTERM;
    timer_t timer;
    const struct itimerspec in_a_millisecond {{0, 0}, {0, 1000000}};
    ASSERT_TRUE(timer_create(CLOCK_MONOTONIC, &event, &timer) == 0 &&
                timer_settime(timer, 0, &in_a_millisecond, nullptr) == 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(load_discovery_report(count), FWUPG_ERR);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    timer_delete(timer);
    EXPECT_TRUE(interrupted() && count == 0 && log.text().empty()) << count << log.text();
}

} // namespace

namespace {

// A report is a local file: neither its name nor anything in it makes the
// reader connect anywhere.
TEST_F(ReportReader, NothingIsFetched)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    write_file(dir.file("entities.xml"),
               "<!DOCTYPE velor_rom_discovery SYSTEM \"" + url + "/r.dtd\" [<!ENTITY e SYSTEM \"" + url +
                   "/e\">]>\n<velor_rom_discovery><devices><device>&e;</device></devices></velor_rom_discovery>\n");
    for (const std::string& path : {url + "/r.xml", dir.file("entities.xml")}) {
        point_report_at(path);
        load_discovery_report(count);
        EXPECT_LT(accept(listener, nullptr, nullptr), 0) << path;
        EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK) << path;
    }
    close(listener);
}

} // namespace
