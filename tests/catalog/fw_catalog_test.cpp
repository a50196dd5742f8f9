// Catalog lookups over small fixture catalogs.
#include "catalog/fw_catalog.h"
#include "log/event_log.h"
#include "support/event_log_capture.h"
#include "support/sim_package.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

const char kKey[] = "8086-10D3-1A2B-7044";


class Catalog : public ::testing::Test {
protected:
    TempDir dir;
    std::unique_ptr<ScopedCwd> cwd;
    void SetUp() override
    {
        make_dirs(dir.file("nic_fw"));
        cwd = std::make_unique<ScopedCwd>(dir.path());
    }
    void write_catalog(const std::string& body) { write_file(dir.file("nic_fw/NICFWData.xml"), body); }
    void wrap(const std::string& elements)
    {
        write_catalog("<?xml version=\"1.0\"?>\n<nics>\n" + elements + "</nics>\n");
    }
};

struct LookupCase {
    const char* name;
    std::string catalog_elements;
    int result;
    const char* fw_file;  // expected when found
};

std::string nic(const char* venid, const char* devid, const char* subvenid, const char* subdevid,
                const char* fw_file, const char* name = "Adapter")
{
    return catalog_element({name, venid, devid, subvenid, subdevid, fw_file});
}

TEST_F(Catalog, LookupTable)
{
    const LookupCase cases[] = {
        {"exact match", nic("8086", "10D3", "1A2B", "7044", "img1.bin"), 1, "img1.bin"},
        {"lower-case id", nic("8086", "10d3", "1A2B", "7044", "img1.bin"), 2, nullptr},
        {"0x prefix", nic("8086", "0x10D3", "1A2B", "7044", "img1.bin"), 2, nullptr},
        {"three digits", nic("8086", "10D", "1A2B", "7044", "img1.bin"), 2, nullptr},
        {"first of duplicates",
         nic("8086", "10D3", "1A2B", "7044", "first.bin") + nic("8086", "10D3", "1A2B", "7044", "second.bin"),
         1, "first.bin"},
        {"other ids first", nic("8086", "10C9", "8086", "A02C", "other.bin") + nic("8086", "10D3", "1A2B", "7044", "mine.bin"),
         1, "mine.bin"},
        {"n/a image", nic("8086", "10D3", "1A2B", "7044", "n/a"), 1, "n/a"},
        // An element matches as a whole: its own four IDs, in any order, and
        // nothing carried over from the element before.
        {"other board's fwFile before its subdevid",
         "  <nic name=\"X\" venid=\"1111\" fwFile=\"early.bin\" subdevid=\"2222\"/>\n" +
             nic("8086", "10D3", "1A2B", "7044", "img1.bin"),
         1, "img1.bin"},
        {"attributes in another order",
         "  <nic fwFile=\"mine.bin\" subdevid=\"7044\" devid=\"10D3\" name=\"A\" subvenid=\"1A2B\" venid=\"8086\"/>\n", 1,
         "mine.bin"},
        {"ids of the element before do not count",
         "  <nic venid=\"8086\" devid=\"10D3\" subvenid=\"1A2B\"/>\n  <nic subdevid=\"7044\" fwFile=\"other.bin\"/>\n", 2,
         nullptr},
        // Matching ids without fwFile: only a later element of the same identity can answer.
        {"match without fwFile",
         std::string("  <nic name=\"A\" venid=\"8086\" devid=\"10D3\" subvenid=\"1A2B\" subdevid=\"7044\"/>\n") +
             "  <nic fwFile=\"later.bin\"/>\n" + nic("8086", "10D3", "1A2B", "7044", "same.bin"),
         1, "same.bin"},
        {"no attributes at all", "  <nic/>\n  <other>text</other>\n", 2, nullptr},
        {"unknown attributes ignored", "  <nic venid=\"8086\" colour=\"blue\"/>\n", 2, nullptr},
    };
    for (const LookupCase& c : cases) {
        wrap(c.catalog_elements);
        ASSERT_EQ(load_firmware_catalog(), 0) << c.name;
        FirmwareCatalogEntry entry;
        EXPECT_EQ(read_NIC_FW_xml_file(kKey, &entry), c.result) << c.name;
        if (c.fw_file != nullptr) {
            EXPECT_EQ(entry.fwFile, c.fw_file) << c.name;
        }
    }
}

TEST_F(Catalog, FoundEntryCarriesTheElementsFields)
{
    wrap("  <nic venid=\"8086\" devid=\"10D3\" subvenid=\"1A2B\" subdevid=\"7044\"/>\n"
         "  <nic name=\"Dual Port\" venid=\"8086\" devid=\"10D3\" subvenid=\"1A2B\" subdevid=\"7044\" rom=\"yes\" fwFile=\"img1.bin\"/>\n");
    ASSERT_EQ(load_firmware_catalog(), 0);
    FirmwareCatalogEntry entry;
    entry.name = "left by an earlier lookup";
    ASSERT_EQ(read_NIC_FW_xml_file(kKey, &entry), 1);
    EXPECT_EQ(entry.name, "Dual Port");
    EXPECT_EQ(entry.venid, "8086");
    EXPECT_EQ(entry.subdevid, "7044");
    EXPECT_EQ(entry.rom, "yes");

    // An ID of more than four digits still reads back whole.
    wrap(nic("8086", "10D3", "1A2B", "7044", "a.bin", "A") + nic("18086", "10D3", "1A2B", "7044", "b.bin", "B"));
    ASSERT_EQ(load_firmware_catalog(), 0);
    ASSERT_EQ(read_NIC_FW_xml_file("18086-10D3-1A2B-7044", &entry), 1);
    EXPECT_EQ(entry.name + entry.venid + entry.devid + entry.subvenid + entry.subdevid + entry.fwFile,
              "B1808610D31A2B7044b.bin");
}

TEST_F(Catalog, MissingCatalogIsLoggedWithConsoleEcho)
{
    EventLogCapture log;
    FirmwareCatalogEntry entry;
    forget_firmware_catalog();
    testing::internal::CaptureStdout();
    int result = read_NIC_FW_xml_file(kKey, &entry);
    read_NIC_FW_xml_file(kKey, &entry);
    fflush(stdout);
    std::string shown = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, 2);
    // Once per lookup.
    EXPECT_EQ(log.text(), "[ERROR]  :Unable to open nic_fw/NICFWData.xml\n[ERROR]  :Unable to open nic_fw/NICFWData.xml\n");
    EXPECT_EQ(shown, "Unable to open nic_fw/NICFWData.xml\nUnable to open nic_fw/NICFWData.xml\n");
}

// A broken or refused catalog is an error that names it and says why,
// never an empty catalog, and is found before any lookup; libxml2 itself
// says nothing. The limits themselves are the scan's (lib); these rows show
// the catalog's.
TEST_F(Catalog, BrokenOrRefusedCatalogsAreAnError)
{
    std::string nested;
    for (int i = 0; i < CATALOG_MAX_DEPTH; ++i)
        nested += "<a>";
    nested += nic("8086", "10D3", "1A2B", "7044", "deep.bin");
    const std::pair<std::string, const char*> cases[] = {
        {"", "is malformed (line "},
        {"this is not xml at all\n", "is malformed (line "},
        {"<nics>\n  <nic name=\"A\" venid=\"80", "is malformed (line "},
        {std::string(100000, '<'), "is malformed (line "},
        {std::string("\x00\xff\xfe\x01<\x80\x90", 7), "holds a NUL byte"},
        {nested, "nests elements deeper than 16 (line 1)"},
    };
    for (const auto& [body, why] : cases) {
        write_catalog(body);
        FirmwareCatalogEntry entry;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(load_firmware_catalog(), 6) << why;
        EXPECT_EQ(read_NIC_FW_xml_file(kKey, &entry), 2) << why;
        const std::string shown = testing::internal::GetCapturedStdout();
        EXPECT_EQ(shown.rfind(std::string("The firmware catalog nic_fw/NICFWData.xml ") + why, 0), 0u) << shown;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << why;
    }
}

// As root the catalog is used only when no one else can change it.
TEST_F(Catalog, AsRootOnlyACatalogNoOneElseCanChangeIsRead)
{
    ScopedHostSeam seam;
    static uid_t runner;
    seam->effective_uid = [] { return runner; };
    const struct {
        uid_t runner;
        mode_t mode;
        uid_t owner;      // 0: as created
        const char* why;  // "" when read
    } cases[] = {
        {0, 0644, 0, ""},
        {0, 0664, 0, "is writable by group or others"},
        {1000, 0666, 0, ""},
        {0, 0644, 65534, "is owned by user ID 65534"},
    };
    for (const auto& c : cases) {
        if (c.owner != 0 && geteuid() != 0)
            continue;  // only root can give a file away
        runner = c.runner;
        wrap(nic("8086", "10D3", "1A2B", "7044", "img1.bin"));
        const std::string file = dir.file("nic_fw/NICFWData.xml");
        ASSERT_TRUE(chmod(file.c_str(), c.mode) == 0 && (c.owner == 0 || chown(file.c_str(), c.owner, c.owner) == 0));
        EventLogCapture log;
        testing::internal::CaptureStdout();
        EXPECT_EQ(load_firmware_catalog(), *c.why == '\0' ? 0 : 6) << c.why;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(log.text(), *c.why == '\0' ? "" : std::string("[ERROR]  :The firmware catalog nic_fw/NICFWData.xml ") +
                                                        c.why + "; no adapter can be looked up in it.\n");
    }
}

TEST(CatalogKey, UpperCaseFourDigits)
{
    EXPECT_EQ(pci_identity_key(0x8086, 0x10c9, 0xabc, 0xA02C), "8086-10C9-0ABC-A02C");
}

} // namespace
