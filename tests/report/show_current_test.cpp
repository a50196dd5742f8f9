// The -c version table: golden blocks, in-process and through the real binary.
#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "log/event_log.h"
#include "report/show_current.h"
#include "support/event_log_capture.h"
#include "support/example_adapter.h"
#include "support/fake_host.h"
#include "support/package_test.h"
#include "support/run_state.h"
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

using namespace testing_support;

namespace {

std::string golden(const std::string& name)
{
    return read_file(std::string(DAZED_SOURCE_DIR) + "/tests/report/golden/" + name);
}

std::string printed_block(const NicInfo& nic)
{
    g_ninfo.assign(1, nic);
    testing::internal::CaptureStdout();
    print_version_block(0);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(VersionBlock, MatchesTheGoldenBlock)
{
    EXPECT_EQ(printed_block(example_adapter()), golden("version_block_eth2.txt"));
}

TEST(VersionBlock, InstalledAndAvailableStayInTheirColumns)
{
    // Negative twin: swapped versions must not reproduce the golden block.
    NicInfo swapped = example_adapter();
    std::swap(swapped.cur_version, swapped.img_version);
    EXPECT_NE(printed_block(swapped), golden("version_block_eth2.txt"));
}

TEST(VersionBlock, LongVersionPushesItsRowAndEmptyNameStaysBlank)
{
    NicInfo nic = example_adapter();
    nic.cur_version = {10, 100, 1000};
    nic.product_id.clear();
    set_rom_version(nic, PXE_IMG, "123456789");
    std::vector<std::string> lines = split_lines(printed_block(nic));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[1], "001B21123456 8086-10C9-8086-A02C  ");
    EXPECT_EQ(lines[6], "     COMBO      10.100.1000   COMBO      1.3.21        eth2");
    EXPECT_EQ(lines[9], "     PXE        1.3.33                  123456789 ");
}

using ShowCurrent = PackageTest;

TEST_F(ShowCurrent, OneBlockPerAdapterInTableOrder)
{
    pkg.add_image_file("dp.bin");
    pkg.write_catalog({{"Dual Port Gigabit Server Adapter", "8086", "10C9", "8086", "A02C", "dp.bin"}});
    // Combo versions as the tool may write them: "v1.2.8" is 1.2.8.
    pkg.write_state(
        "adapter nic=1 mac=001B21123456 psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
        "adapter nic=2 mac=001B21123457 psid=P1 combo=v1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
        "image file=dp.bin psid=P1 combo=v1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n");
    FakeHost host({pci_nic("eth2", "0000:0b:00.0", "001B21123456"), pci_nic("eth3", "0000:0b:00.1", "001B21123457"),
                   pci_nic("eth10", "0000:0c:00.0", "001B21123457")});

    testing::internal::CaptureStdout();
    EXPECT_EQ(show_current(), FWUPG_OK);
    std::string shown = testing::internal::GetCapturedStdout();

    std::string second = golden("version_block_eth2.txt");
    second.replace(second.find("001B21123456"), 12, "001B21123457");
    second.replace(second.find("eth2"), 4, "eth10");
    EXPECT_EQ(shown, second + golden("version_block_eth2.txt"));  // eth10 sorts before eth2
}

TEST_F(ShowCurrent, NoSupportedAdapterSaysSoAndFails)
{
    pkg.write_catalog({});
    pkg.write_state("adapter nic=1 mac=001B21123456 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n");
    FakeHost host({pci_nic("eth2", "0000:0b:00.0", "001B21123456")});
    testing::internal::CaptureStdout();
    EXPECT_EQ(show_current(), FWUPG_ERR);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No supported adapters found\n");
}

// -c > /dev/full: the table did not reach standard output, so it is an
// error and never "successfully displayed".
TEST_F(ShowCurrent, OutputThatCannotBeWrittenIsAnError)
{
    pkg.write_catalog({{"Dual Port", "8086", "10C9", "8086", "A02C", "dp.bin"}});
    pkg.write_state("adapter nic=1 mac=001B21123456 psid=P1 combo=1.2.8 pxe=1 setup=1 ocd=1\n");
    FakeHost host({pci_nic("eth2", "0000:0b:00.0", "001B21123456")});
    EventLogCapture log;
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO), full = open("/dev/full", O_WRONLY);
    ASSERT_TRUE(full >= 0 && dup2(full, STDOUT_FILENO) >= 0);
    const int result = show_current();
    fflush(stdout);
    ASSERT_TRUE(dup2(saved, STDOUT_FILENO) >= 0 && close(saved) == 0 && close(full) == 0);
    clearerr(stdout);
    EXPECT_EQ(result, FWUPG_ERR);
    EXPECT_TRUE(contains(log.text(), std::string("[ERROR]  :The current FW versions could not be written to standard "
                                                 "output (") + strerror(ENOSPC) + ").\n")) << log.text();
    EXPECT_FALSE(contains(log.text(), "successfully displayed"));
}

// The real binary against this machine's own PCI network interface.
TEST(ShowCurrentEndToEnd, PrintsTheBlockForTheHostsNic)
{
    std::optional<HostNic> nic;
    SKIP_UNLESS_HOST_NIC(nic);
    SimPackage pkg;
    pkg.offer_host_nic(*nic);

    RunResult r = run_dazed_fug({"-c"}, pkg.path());
    EXPECT_EQ(r.exit_status, 0) << r.err;
    std::string expected = golden("version_block_eth2.txt");
    expected.replace(expected.find("001B21123456"), 12, nic->mac);
    expected.replace(expected.find("8086-10C9-8086-A02C"), 19, nic->key());
    expected.replace(expected.find("Dual Port Gigabit Server Adapter"), 32, "Host Adapter");
    expected.replace(expected.find("eth2"), 4, nic->name);
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(read_file(pkg.file("bootutil.log")).find("[INFO]   :Current FW version successfully displayed.\n"),
              std::string::npos);
}

TEST(ShowCurrentEndToEnd, NoAdapterListedByTheTool)
{
    SKIP_IF_HOST_UNSAFE();
    SimPackage pkg;
    if (!pkg.has_simulator())
        GTEST_SKIP() << "the flash-tool simulator is not built";
    pkg.write_catalog({});
    pkg.write_state("");
    RunResult r = run_dazed_fug({"-c"}, pkg.path());
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_EQ(r.out, "No supported adapters found\n");
}

} // namespace
