#include "inventory/probes.h"

#include "probe_test_support.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using testing_support::ScopedHostSeam;
using probe_testing::StderrCapture;
using probe_testing::without_line_numbers;
using testing_support::TempDir;
using testing_support::make_dirs;
using testing_support::write_file;

namespace {

constexpr uint32_t kUntouched = 0xdeadbeef;

struct PciCase {
    const char* title;
    std::string bus_info;
    // Attribute files to create; a missing key is a missing file.
    std::map<std::string, std::string> files;
    int result;
    uint32_t ids[4];        // expected outputs (kUntouched when not written)
    const char* missing;    // file named by the expected message, or null
};

const std::string kLongBus(200, 'b');

const PciCase kPciCases[] = {
    {"kernel format",
     "0000:03:00.0",
     {{"vendor", "0x8086\n"}, {"device", "0x1521\n"}, {"subsystem_vendor", "0x103c\n"},
      {"subsystem_device", "0x00a3\n"}},
     0,
     {0x8086, 0x1521, 0x103c, 0x00a3},
     nullptr},
    {"files without a number give 0",
     "0000:03:00.0",
     {{"vendor", "8086"}, {"device", ""}, {"subsystem_vendor", "none\n"},
      {"subsystem_device", "0xFFFF"}},
     0,
     {0x8086, 0, 0, 0xffff},
     nullptr},
    {"missing subsystem_device",
     "0000:03:00.0",
     {{"vendor", "0x8086\n"}, {"device", "0x1521\n"}, {"subsystem_vendor", "0x103c\n"}},
     6,
     {kUntouched, kUntouched, kUntouched, kUntouched},
     "subsystem_device"},
    {"missing device directory", "0000:04:00.0", {}, 6,
     {kUntouched, kUntouched, kUntouched, kUntouched}, "vendor"},
    {"path longer than any fixed buffer",
     kLongBus,
     {{"vendor", "0x8086\n"}, {"device", "0x10fb\n"}, {"subsystem_vendor", "0x8086\n"},
      {"subsystem_device", "0x000c\n"}},
     0,
     {0x8086, 0x10fb, 0x8086, 0x000c},
     nullptr},
};

} // namespace

TEST(PciInfo, ReadsTheFourIdFiles)
{
    for (const PciCase& c : kPciCases) {
        SCOPED_TRACE(c.title);
        TempDir root;
        std::string devices = root.path() + "/sys/bus/pci/devices";
        make_dirs(devices + "/0000:03:00.0");
        make_dirs(devices + "/" + kLongBus);
        for (const auto& file : c.files)
            write_file(devices + "/" + c.bus_info + "/" + file.first, file.second);
        ScopedHostSeam seam(root.path());
        StderrCapture err;

        uint32_t ids[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
        int rc = get_pci_info(c.bus_info.c_str(), &ids[0], &ids[1], &ids[2], &ids[3]);

        EXPECT_EQ(rc, c.result);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ids[i], c.ids[i]) << "id " << i;
        std::string expected_err;
        if (c.missing != nullptr)
            expected_err = "ERROR: could not open " + devices + "/" + c.bus_info + "/" +
                           c.missing + " (errno=2), dazed-fug,N\n";
        EXPECT_EQ(without_line_numbers(err.take()), expected_err);
    }
}

TEST(PciInfo, NoBusInformationIsRefusedSilently)
{
    const char* const bus_infos[] = {nullptr, ""};
    for (const char* bus_info : bus_infos) {
        StderrCapture err;
        uint32_t ids[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
        EXPECT_EQ(get_pci_info(bus_info, &ids[0], &ids[1], &ids[2], &ids[3]), 6);
        for (uint32_t id : ids)
            EXPECT_EQ(id, kUntouched);
        EXPECT_EQ(err.take(), "");
    }
}
