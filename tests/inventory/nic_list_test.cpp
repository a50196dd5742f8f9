// Inventory building through scripted probes and the flash-tool simulator.
#include "inventory/nic_info.h"
#include "inventory/nic_list.h"
#include "lib/return_codes.h"
#include "log/event_log.h"
#include "support/fake_host.h"
#include "support/package_test.h"
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace testing_support;

namespace {

// True when the record is exactly a fresh one.
bool is_zero_record(const NicInfo& nic)
{
    bool texts_empty = nic.device_id.empty() && nic.bus_location.empty() && nic.busnumber.empty() &&
                       nic.devicenumber.empty() && nic.funcnumber.empty() && nic.macaddress.empty() &&
                       nic.product_id.empty() && nic.fw_file.empty() && nic.fw_image_path.empty() &&
                       nic.slotnumber.empty();
    bool numbers_zero = nic.venid == 0 && nic.devid == 0 && nic.subvenid == 0 && nic.subdevid == 0 &&
                        nic.nic_number == 0 && nic.flags == 0 && version_text(nic.cur_version) == "0.0.0" &&
                        version_text(nic.img_version) == "0.0.0" && nic.flash_outcome == FlashOutcome::NOT_FLASHED;
    bool slots_empty = true;
    for (const auto& slot : nic.rom_versions) {
        for (char c : slot)
            slots_empty = slots_empty && c == '\0';
    }
    return texts_empty && numbers_zero && slots_empty;
}

CatalogEntryText catalog_entry(const std::string& name, uint32_t devid, const std::string& image)
{
    return {name, "8086", hex4(devid), "8086", "A02C", image};
}

class Inventory : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        if (IsSkipped())
            return;
        pkg.add_image_file("a.bin");
        pkg.add_image_file("b.bin");
        pkg.write_catalog({catalog_entry("Adapter A", 0x10C9, "a.bin"), catalog_entry("Adapter B", 0x10D3, "b.bin")});
    }
    std::string log_text() const { return log->text(); }
};

TEST_F(Inventory, KeepsSupportedAdaptersPackedInNameOrder)
{
    pkg.write_state(
        "adapter nic=1 mac=00AA00000000 psid=P1 combo=1.0.0 pxe=1.0.1 setup=1.0.2 ocd=1.0.3\n"
        "adapter nic=2 mac=00AA00000001 psid=P1 combo=1.0.0 pxe=1.0.1 setup=1.0.2 ocd=1.0.3\n"
        "adapter nic=3 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
        "adapter nic=4 mac=00AA00000004 psid=P2 combo=2.0.5 pxe=3.1.1 setup=3.1.2 ocd=3.1.3\n"
        "image file=a.bin psid=P1 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n"
        "image file=b.bin psid=P2 combo=1.9.9 pxe=4.0.1 setup=4.0.2 ocd=4.0.3\n");
    FakeHost host({
        pci_nic("eth0", "0000:01:00.0", "00AA00000000", 0x9999),  // not in the catalog
        pci_nic("eth1", "0000:01:00.1", "00AA00000001", 0x10C9),  // function 1 of eth0's device
        pci_nic("eth2", "0000:03:00.0", "00AA00000002", 0x10C9),
        pci_nic("eth3", "0000:04:00.0", "00AA00000003", 0x10C9),  // the tool does not list it
        pci_nic("eth4", "0000:0b:00.0", "00AA00000004", 0x10D3),
        pci_nic("lo", "", "000000000000", 0),
        pci_nic("eth5", "", "00AA00000005", 0x10C9),              // no bus information
    });

    ASSERT_EQ(build_NIC_list(), FWUPG_OK);
    EXPECT_EQ(g_nNics, 6);
    ASSERT_EQ(g_nDazedNICs, 2);

    const NicInfo& a = g_ninfo[0];
    EXPECT_EQ(a.device_id, "eth2");
    EXPECT_EQ(a.bus_location, "03:00.0");
    EXPECT_EQ(a.macaddress, "00AA00000002");
    EXPECT_EQ(a.nic_number, 3);
    EXPECT_EQ(a.product_id, "Adapter A");
    EXPECT_EQ(a.fw_file, "a.bin");
    EXPECT_EQ(a.fw_image_path, "./nic_fw/a.bin");
    EXPECT_EQ(a.flags, NIC_HAS_ROM);
    EXPECT_EQ(version_text(a.cur_version), "1.2.8");
    EXPECT_EQ(version_text(a.img_version), "1.3.21");
    EXPECT_STREQ(a.rom_versions[PXE_CUR], "1.3.33");
    EXPECT_STREQ(a.rom_versions[PXE_IMG], "1.3.45");
    EXPECT_STREQ(a.rom_versions[SETUP_CUR], "2.2.6");
    EXPECT_STREQ(a.rom_versions[SETUP_IMG], "2.2.8");
    EXPECT_STREQ(a.rom_versions[OCD_CUR], "1.0.7");
    EXPECT_STREQ(a.rom_versions[OCD_IMG], "1.0.9");

    const NicInfo& b = g_ninfo[1];
    EXPECT_EQ(b.device_id, "eth4");
    EXPECT_EQ(b.bus_location, "0b:00.0");
    EXPECT_EQ(b.nic_number, 4);
    EXPECT_EQ(b.devid, 0x10D3u);
    EXPECT_EQ(b.fw_image_path, "./nic_fw/b.bin");
    for (size_t i = 2; i < g_ninfo.size(); ++i)
        EXPECT_TRUE(is_zero_record(g_ninfo[i])) << "record " << i;

    // The function-1 interface and the one without a PCI address cause no further probe.
    EXPECT_EQ(host.address_queries, (std::vector<std::string>{"eth0", "eth2", "eth3", "eth4"}));
    EXPECT_EQ(host.pci_queries(), (std::vector<std::string>{"0000:01:00.0", "0000:03:00.0", "0000:0b:00.0"}));

    EXPECT_EQ(pkg.tool_command_lines(),
              (std::vector<std::string>{
                  "(./bootutil -E > /dev/null)\\n",
                  "(./bootutil -E  | grep NIC | grep MACAddress > data_cur.dat)\\n",
                  "(./bootutil -iv -QUIET -FILE=./nic_fw/a.bin > data_img.dat)\\n",
                  "(./bootutil -iv -QUIET -FILE=./nic_fw/a.bin -NIC=3 > data_img.dat)\\n",
                  "(./bootutil -iv -QUIET -NIC=3 > data_img.dat)\\n",
                  "(./bootutil -iv -QUIET -FILE=./nic_fw/b.bin > data_img.dat)\\n",
                  "(./bootutil -iv -QUIET -FILE=./nic_fw/b.bin -NIC=4 > data_img.dat)\\n",
                  "(./bootutil -iv -QUIET -NIC=4 > data_img.dat)\\n",
              }));
    for (const char* tmp : {"data_cur.dat", "data_img.dat", "data_tmp.dat"})
        EXPECT_FALSE(file_exists(pkg.file(tmp))) << tmp;
}

// Missing report lines give the defaults (an image never newer); words as
// the tool may write them (a "v" before a combo version, a long number) are
// read whole; a sub-version longer than its slot is marked as cut.
TEST_F(Inventory, ToolWordsAreReadWholeOrNotAtAll)
{
    const struct {
        const char* state;
        const char* cur;
        const char* img;
        const char* slots[5];  // PXE_CUR, SETUP_CUR, OCD_CUR, PXE_IMG, OCD_IMG
    } cases[] = {
        {"adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7 omit=pxe,ocd\n"
         "image file=a.bin psid=P1 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9 omit=combo,ocd\n",
         "1.2.8", "0.0.0", {"0.0.00", "2.2.6", "0.0.00", "0.0.00", "0.0.00"}},
        {"adapter nic=123456 mac=00AA00000002 psid=P1 combo=v2.100.123 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
         "image file=a.bin psid=P1 combo=v9.999.9999 pxe=1.2.34567 setup=2.2.8 ocd=123456789012\n",
         "2.100.123", "9.999.9999", {"1.3.33", "2.2.6", "1.0.7", "1.2.34567", "12345678+"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cur);
        pkg.write_state(c.state);
        FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9)});
        ASSERT_EQ(build_NIC_list(), FWUPG_OK);
        ASSERT_EQ(g_nDazedNICs, 1);
        const NicInfo& a = g_ninfo[0];
        EXPECT_EQ(version_text(a.cur_version), c.cur);
        EXPECT_EQ(version_text(a.img_version), c.img);
        int slot = 0;
        for (RomVersionSlot s : {PXE_CUR, SETUP_CUR, OCD_CUR, PXE_IMG, OCD_IMG})
            EXPECT_STREQ(a.rom_versions[s], c.slots[slot++]);
    }
    EXPECT_EQ(pkg.tool_invocations().back(), "-iv -QUIET -NIC=123456");
}

// An adapter whose number, installed or image version the tool does not give
// usably is left out, never judged with a made-up value; the other adapter
// is kept and the building says it could not handle every adapter.
TEST_F(Inventory, AdaptersWithUnusableToolDataAreLeftOut)
{
    const struct {
        const char* keys;
        const char* logged;
    } cases[] = {
        {"combo=1.2.8 list_as=12345678901", "with the adapter number \"12345678901\", which cannot be used"},
        {"combo=1.2.8 list_as=3x", "with the adapter number \"3x\", which cannot be used"},
        {"combo=1.2.8 list_as=$(t", "with the adapter number \"$(t\", which cannot be used"},
        {"combo=1.2.8 list_as=", "with the adapter number \"MACAddress\", which cannot be used"},
        {"combo=1.2.8 omit=combo", "no readable installed version for MAC 00AA00000003 (\"\")"},
        {"combo=", "no readable installed version for MAC 00AA00000003 (\"\")"},
        {"combo=12.3.4", "no readable installed version for MAC 00AA00000003 (\"12.3.4\")"},
        {"combo=1.2.34567", "no readable installed version for MAC 00AA00000003 (\"1.2.34567\")"},
        {"combo=vv1.2.8", "no readable installed version for MAC 00AA00000003 (\"vv1.2.8\")"},
        // eth1's own image, present but unreadable: as 0.0.0 it would be a downgrade.
        {"combo=1.2.8\nimage file=b.bin combo=10.100.1000", "image version for MAC 00AA00000003 (\"10.100.1000\" in b.bin)"},
        {"combo=1.2.8\nimage file=b.bin combo=1.3.21beta", "image version for MAC 00AA00000003 (\"1.3.21beta\" in b.bin)"},
        {"combo=1.2.8\nimage file=b.bin combo=V1.3.21", "image version for MAC 00AA00000003 (\"V1.3.21\" in b.bin)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        pkg.write_state(std::string("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n"
                                    "adapter nic=2 mac=00AA00000003 psid=P1 pxe=1 setup=1 ocd=1 ") +
                        c.keys + "\nimage file=a.bin psid=P1 combo=1.3.21 pxe=2 setup=2 ocd=2\n");
        pkg.clear_tool_log();
        log->clear();
        FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9),
                       pci_nic("eth1", "0000:04:00.0", "00AA00000003", 0x10D3)});

        ASSERT_EQ(build_NIC_list(), FWUPG_OK);
        ASSERT_EQ(g_nDazedNICs, 1);
        EXPECT_EQ(g_ninfo[0].device_id, "eth0");
        EXPECT_TRUE(is_zero_record(g_ninfo[1]));
        EXPECT_NE(log_text().find(c.logged), std::string::npos) << log_text();
        EXPECT_NE(log_text().find("MAC 00AA00000003"), std::string::npos);
        // Every -NIC= names one of the two real numbers, whole.
        for (const std::string& args : pkg.tool_invocations()) {
            size_t at = args.find("-NIC=");
            if (at != std::string::npos) {
                EXPECT_TRUE(args.substr(at) == "-NIC=1" || args.substr(at) == "-NIC=2") << args;
            }
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(left_out_result(FWUPG_OK), FWUPG_ERR);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "1 adapter was found and left out; bootutil.log names it and says why.\n");
    }
}

TEST_F(Inventory, UnreadablePciIdsStopTheBuilding)
{
    pkg.write_state("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n");
    FakeInterface broken = pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9);
    broken.pci_readable = false;
    FakeHost host({broken, pci_nic("eth1", "0000:04:00.0", "00AA00000002", 0x10C9)});

    testing::internal::CaptureStdout();
    EXPECT_EQ(build_NIC_list(), FWUPG_ERR);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not retrieve PCI ID of NICs.\n");
    EXPECT_EQ(g_nDazedNICs, 0);
    EXPECT_EQ(log_text(), "[ERROR]  :Could not retrieve PCI ID of NICs.\n");
    EXPECT_EQ(host.pci_queries().size(), 1u);
    EXPECT_TRUE(file_exists(pkg.file("data_cur.dat")));  // left in place on this early return
}

TEST_F(Inventory, NoEthInterfaceRunsNoTool)
{
    FakeHost host({pci_nic("lo", "", "000000000000", 0), pci_nic("wlan0", "0000:02:00.0", "00AA00000009", 1)});
    testing::internal::CaptureStdout();
    EXPECT_EQ(build_NIC_list(), FWUPG_ERR);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No supported adapters found\n");
    EXPECT_EQ(log_text(), "[ERROR]  :No supported adapters found\n");
    EXPECT_EQ(g_nNics, 0);
    EXPECT_TRUE(g_ninfo.empty());
    EXPECT_TRUE(pkg.tool_invocations().empty());
}

// A catalog that cannot be read is an error in every mode, not "no adapters".
TEST_F(Inventory, MissingOrMalformedCatalogIsAnError)
{
    pkg.write_state("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n");
    FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9),
                   pci_nic("eth1", "0000:04:00.0", "00AA00000003", 0x10C9)});
    const struct {
        const char* catalog;  // null: none
        const char* logged;
    } cases[] = {
        {nullptr, "[ERROR]  :Unable to open nic_fw/NICFWData.xml\n"},
        {"<nics>\n<nic name=\"A\" venid=\"80", "[ERROR]  :The firmware catalog nic_fw/NICFWData.xml is malformed (line 2)"},
    };
    for (const auto& c : cases) {
        if (c.catalog == nullptr)
            unlink(pkg.file("nic_fw/NICFWData.xml").c_str());
        else
            write_file(pkg.file("nic_fw/NICFWData.xml"), c.catalog);
        log->clear();
        testing::internal::CaptureStdout();
        EXPECT_EQ(build_NIC_list(), FWUPG_ERR);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(g_nDazedNICs, 0);
        EXPECT_EQ(log_text().rfind(c.logged, 0), 0u) << log_text();
        EXPECT_FALSE(file_exists(pkg.file("data_cur.dat")));
    }
}

} // namespace

namespace {

// A tool that cannot be run or cannot list is an error, never an empty list.
TEST_F(Inventory, UnusableToolIsAnErrorNotAnEmptyList)
{
    FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9)});
    const struct {
        const char* name;
        std::function<void()> break_it;
        const char* shown;
    } cases[] = {
        {"not executable", [&] { chmod(pkg.file("bootutil").c_str(), 0644); },
         "Cannot run the flash tool ./bootutil: Permission denied\n"},
        {"a directory", [&] { unlink(pkg.file("bootutil").c_str()); make_dirs(pkg.file("bootutil")); },
         "Cannot run the flash tool ./bootutil: Is a directory\n"},
        {"list fails",
         [&] { pkg.write_state("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 list_exit=3 stderr_on=list\n"); },
         "The flash tool ./bootutil failed to list its adapters (exit 3).\n"},
        {"list cannot be written", [&] { make_dirs(pkg.file("data_cur.dat/x")); },
         "Could not write the flash tool's adapter list to data_cur.dat.\n"},
        {"missing", [&] { unlink(pkg.file("bootutil").c_str()); },
         "Cannot run the flash tool ./bootutil: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        pkg.write_state("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n");
        c.break_it();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(build_NIC_list(), FWUPG_ERR) << c.name;
        // The tool's own reason shows next to ours.
        EXPECT_EQ(contains(testing::internal::GetCapturedStderr(), "bootutil-sim: a message on standard error (list"),
                  std::string(c.name) == "list fails");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.shown) << c.name;
        EXPECT_EQ(g_nDazedNICs, 0);
        // Put the package right for the next case.
        rmdir(pkg.file("data_cur.dat/x").c_str());
        rmdir(pkg.file("data_cur.dat").c_str());
        rmdir(pkg.file("bootutil").c_str());
        if (!file_exists(pkg.file("bootutil")))
            install_simulator(pkg.path());
        chmod(pkg.file("bootutil").c_str(), 0755);
    }
}

TEST_F(Inventory, HostileImageNameNeverReachesACommand)
{
    pkg.write_catalog({catalog_entry("Adapter A", 0x10C9, "a.bin;touch pwned")});
    pkg.write_state("adapter nic=1 mac=00AA00000002 psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n");
    FakeHost host({pci_nic("eth0", "0000:03:00.0", "00AA00000002", 0x10C9)});

    ASSERT_EQ(build_NIC_list(), FWUPG_OK);
    ASSERT_EQ(g_nDazedNICs, 1);
    const NicInfo& a = g_ninfo[0];
    EXPECT_EQ(a.fw_image_path, "");
    EXPECT_EQ(version_text(a.img_version), "0.0.0");
    EXPECT_STREQ(a.rom_versions[PXE_IMG], "0.0.00");
    EXPECT_EQ(version_text(a.cur_version), "1.2.8");  // the adapter's own versions are still read
    EXPECT_FALSE(file_exists(pkg.file("pwned")));
    for (const std::string& line : pkg.tool_command_lines())
        EXPECT_EQ(line.find("pwned"), std::string::npos) << line;
    EXPECT_NE(log_text().find("[ERROR]  :Image file name \"a.bin;touch pwned\" for eth0"), std::string::npos);
}

} // namespace
