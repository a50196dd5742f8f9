#include "inventory/probes.h"

#include "probe_test_support.h"
#include "support/scoped_host_seam.h"
#include "support/event_log_capture.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using testing_support::EventLogCapture;
using testing_support::ScopedHostSeam;
using probe_testing::StderrCapture;
using testing_support::TempDir;
using testing_support::make_dirs;

namespace {

struct ListCase {
    const char* title;
    std::vector<std::string> entries;
    const char* pattern;
    int result;
    std::vector<std::string> names;
};

const ListCase kListCases[] = {
    {"eth pattern", {"eth0", "eth1", "eth10", "lo", "veth9", ".hidden"}, "eth", 0,
     {"eth0", "eth1", "eth10", "veth9"}},
    {"null pattern keeps all but dot entries",
     {"eth0", "eth1", "eth10", "lo", "veth9", ".hidden"}, nullptr, 0,
     {"eth0", "eth1", "eth10", "lo", "veth9"}},
    {"no match", {"eth0", "lo"}, "wlan", 6, {}},
    {"byte-wise order, case-sensitive substring",
     {"eth2", "eth10", "Eth3", "peth1", "eth0.100", "ETH0"}, "eth", 0,
     {"eth0.100", "eth10", "eth2", "peth1"}},
    {"upper case sorts first", {"eth0", "ETH0", "Lo"}, nullptr, 0, {"ETH0", "Lo", "eth0"}},
    {"only dot entries", {".a", "..b"}, nullptr, 6, {}},
    {"empty directory", {}, nullptr, 6, {}},
};

} // namespace

TEST(InterfaceList, FiltersAndSortsDirectoryEntries)
{
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.title);
        TempDir root;
        make_dirs(root.path() + "/sys/class/net");
        for (const std::string& entry : c.entries)
            make_dirs(root.path() + "/sys/class/net/" + entry);
        ScopedHostSeam seam(root.path());
        EventLogCapture log;
        StderrCapture err;

        char** list = reinterpret_cast<char**>(1);
        int count = -1;
        int rc = get_interface_list(&list, c.pattern, &count);

        EXPECT_EQ(rc, c.result);
        ASSERT_EQ(count, static_cast<int>(c.names.size()));
        EXPECT_EQ(err.take(), "");
        EXPECT_EQ(log.text(), "");
        if (c.names.empty()) {
            EXPECT_EQ(list, nullptr);
            continue;
        }
        ASSERT_NE(list, nullptr);
        // One block: the names follow the pointer array, each after the last NUL.
        const char* expected_at = reinterpret_cast<const char*>(list + count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(list[i], c.names[i]);
            EXPECT_EQ(list[i], expected_at) << "name " << i << " outside the block layout";
            expected_at = list[i] + strlen(list[i]) + 1;
        }
        free(list);
    }
}

TEST(InterfaceList, MissingDirectoryIsLoggedWithThePathScanned)
{
    TempDir root;
    ScopedHostSeam seam(root.path());
    EventLogCapture log;
    StderrCapture err;

    char** list = reinterpret_cast<char**>(1);
    int count = -1;
    EXPECT_EQ(get_interface_list(&list, "eth", &count), 6);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(log.text(), "[ERROR]  :No entries found in " + root.path() + "/sys/class/net\n");
    EXPECT_EQ(err.take(), "");
}
