// The probes against this machine's own interfaces, compared with what
// sysfs, /proc and ip report. Nothing here changes the host.
#include "inventory/probes.h"

#include "probe_test_support.h"
#include "support/sim_package.h"
#include "support/test_support.h"

#include <dirent.h>
#include <net/if.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using probe_testing::StderrCapture;
using probe_testing::command_output;
using probe_testing::raw_sockets_allowed;
using probe_testing::trim;
using probe_testing::without_line_numbers;
using testing_support::read_file;

namespace {

const std::string kSysNet = "/sys/class/net/";

std::string sys_attr(const std::string& ifname, const std::string& attr)
{
    return trim(read_file(kSysNet + ifname + "/" + attr));
}

std::string text_or_null(const char* text)
{
    return text != nullptr ? text : "(null)";
}

std::string link_basename(const std::string& path)
{
    std::error_code ec;
    fs::path target = fs::read_symlink(path, ec);
    return ec ? "" : target.filename().string();
}

// The MAC address file "02:fc:00:00:00:01" in the probe's form "02FC00000001".
std::string mac_from_sysfs(const std::string& ifname)
{
    std::string mac;
    for (char ch : sys_attr(ifname, "address")) {
        if (ch != ':')
            mac += static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    }
    return mac;
}

LinkState admin_state_from_sysfs(const std::string& ifname)
{
    unsigned long flags = strtoul(sys_attr(ifname, "flags").c_str(), nullptr, 16);
    return (flags & IFF_UP) != 0 ? LINK_STATE_UP : LINK_STATE_DOWN;
}

// First IPv4 address as ip shows it; ok is false when ip cannot be run.
struct IpV4 {
    bool ok = false;
    std::string address, netmask, broadcast;
};

std::string netmask_of(int prefix)
{
    uint32_t mask = prefix == 0 ? 0 : 0xffffffffu << (32 - prefix);
    std::ostringstream out;
    out << (mask >> 24) << '.' << ((mask >> 16) & 0xff) << '.' << ((mask >> 8) & 0xff) << '.'
        << (mask & 0xff);
    return out.str();
}

IpV4 ip_v4_of(const std::string& ifname)
{
    IpV4 result;
    if (trim(command_output("command -v ip")).empty())
        return result;
    result.ok = true;
    std::istringstream lines(command_output("ip -4 -o addr show dev " + ifname + " 2>/dev/null"));
    std::string line;
    if (!std::getline(lines, line))
        return result;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        if (word == "inet" && words >> word) {
            size_t slash = word.find('/');
            result.address = word.substr(0, slash);
            result.netmask = netmask_of(slash == std::string::npos ? 32 : std::stoi(word.substr(slash + 1)));
        } else if (word == "brd" && words >> word) {
            result.broadcast = word;
        }
    }
    return result;
}

struct Inet6Record {
    std::string full;
    unsigned prefix = 0;
    unsigned scope = 0;
};

bool first_inet6_record(const std::string& ifname, Inet6Record* record)
{
    std::istringstream lines(read_file("/proc/net/if_inet6"));
    std::string digits, index, prefix, scope, flags, dev;
    while (lines >> digits >> index >> prefix >> scope >> flags >> dev) {
        if (dev != ifname)
            continue;
        for (size_t i = 0; i < 32; i += 4)
            record->full += (i ? ":" : "") + digits.substr(i, 4);
        record->prefix = std::stoul(prefix, nullptr, 16);
        record->scope = std::stoul(scope, nullptr, 16);
        return true;
    }
    return false;
}

// Checks every address field against the host's own view of the interface.
void expect_addresses_match_host(const std::string& ifname)
{
    StderrCapture err;
    InterfaceAddressInfo info;
    int rc = get_dynamic_interface_info(ifname.c_str(), &info);
    EXPECT_EQ(err.take(), "");
    // Without IPv6 in the kernel there is no if_inet6 to read.
    EXPECT_EQ(rc, testing_support::file_exists("/proc/net/if_inet6") ? 0 : 1);

    EXPECT_EQ(text_or_null(info.hwaddr), mac_from_sysfs(ifname));
    EXPECT_EQ(info.link_status, admin_state_from_sysfs(ifname));

    IpV4 v4 = ip_v4_of(ifname);
    if (v4.ok) {
        EXPECT_EQ(text_or_null(info.ipaddr), v4.address.empty() ? "(null)" : v4.address);
        EXPECT_EQ(text_or_null(info.netmask), v4.address.empty() ? "(null)" : v4.netmask);
        if (!v4.broadcast.empty()) {
            EXPECT_EQ(text_or_null(info.broadaddr), v4.broadcast);
        } else if (v4.address.empty()) {
            EXPECT_EQ(info.broadaddr, nullptr);
        }
    }

    Inet6Record v6;
    if (first_inet6_record(ifname, &v6)) {
        EXPECT_EQ(text_or_null(info.ipv6_addr), v6.full);
        EXPECT_EQ(info.ipv6_prefix_len, v6.prefix);
        ASSERT_NE(info.ipv6_addr_short, nullptr);
        if (v4.ok) {
            std::string shown = command_output("ip -6 -o addr show dev " + ifname);
            EXPECT_NE(shown.find(" " + std::string(info.ipv6_addr_short) + "/" +
                                 std::to_string(v6.prefix) + " "),
                      std::string::npos)
                << shown;
        }
    } else {
        EXPECT_EQ(info.ipv6_addr, nullptr);
        EXPECT_EQ(info.ipv6_addr_short, nullptr);
    }
    free_dynamic_interface_info(&info);
}

// Physical link as the carrier file reports it; NONE when it cannot be read
// (a down interface refuses the read).
LinkState carrier_from_sysfs(const std::string& ifname)
{
    std::string carrier = sys_attr(ifname, "carrier");
    if (carrier.empty())
        return LINK_STATE_NONE;
    return carrier == "1" ? LINK_STATE_UP : LINK_STATE_DOWN;
}

int socket_fd_count()
{
    int n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        if (link_basename(entry.path().string()).rfind("socket:", 0) == 0)
            ++n;
    }
    return n;
}

void skip_without_raw_sockets()
{
    if (!raw_sockets_allowed())
        GTEST_SKIP() << "raw IPv4 sockets are not permitted to this user";
}

} // namespace

TEST(KernelProbes, InterfaceListMatchesSysfs)
{
    std::vector<std::string> expected_all, expected_eth;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kSysNet, ec)) {
        std::string name = entry.path().filename().string();
        expected_all.push_back(name);
        if (name.find("eth") != std::string::npos)
            expected_eth.push_back(name);
    }
    std::sort(expected_all.begin(), expected_all.end());
    std::sort(expected_eth.begin(), expected_eth.end());

    struct {
        const char* pattern;
        const std::vector<std::string>& expected;
    } cases[] = {{nullptr, expected_all}, {"eth", expected_eth}};
    for (const auto& c : cases) {
        char** list = nullptr;
        int count = 0;
        int rc = get_interface_list(&list, c.pattern, &count);
        EXPECT_EQ(rc, c.expected.empty() ? 6 : 0);
        EXPECT_EQ(std::vector<std::string>(list, list + count), c.expected);
        free(list);
    }
}

TEST(KernelProbes, Loopback)
{
    skip_without_raw_sockets();
    expect_addresses_match_host("lo");

    // lo has no driver information; the unsupported query stays silent.
    StderrCapture err;
    EthtoolInfo info;
    EXPECT_EQ(get_ethtool_info("lo", &info), 0);
    EXPECT_EQ(err.take(), "");
    EXPECT_EQ(info.driver, nullptr);
    EXPECT_EQ(info.bus_info, nullptr);
    EXPECT_EQ(info.link_state, carrier_from_sysfs("lo"));
    free_ethtool_info(&info);
}

TEST(KernelProbes, PciBackedEthInterface)
{
    const std::optional<testing_support::HostNic> eth = testing_support::find_host_pci_nic();
    if (!eth)
        GTEST_SKIP() << "no eth interface on function 0 of a PCI device on this machine";
    SCOPED_TRACE(eth->name + " on " + eth->bus_info);

    StderrCapture err;
    EthtoolInfo info;
    ASSERT_EQ(get_ethtool_info(eth->name.c_str(), &info), 0);
    EXPECT_EQ(err.take(), "");
    EXPECT_EQ(text_or_null(info.bus_info), eth->bus_info);
    EXPECT_EQ(text_or_null(info.driver), link_basename(kSysNet + eth->name + "/device/driver"));
    EXPECT_NE(info.driver_version, nullptr);
    EXPECT_NE(info.fw_version, nullptr);
    LinkState carrier = carrier_from_sysfs(eth->name);
    if (carrier != LINK_STATE_NONE) {
        EXPECT_EQ(info.link_state, carrier);
    }

    const char* const id_files[] = {"vendor", "device", "subsystem_vendor", "subsystem_device"};
    uint32_t ids[4] = {};
    ASSERT_EQ(get_pci_info(info.bus_info, &ids[0], &ids[1], &ids[2], &ids[3]), 0);
    for (int i = 0; i < 4; ++i) {
        std::string text = read_file("/sys/bus/pci/devices/" + eth->bus_info + "/" + id_files[i]);
        EXPECT_EQ(ids[i], strtoul(text.c_str(), nullptr, 16)) << id_files[i];
    }
    free_ethtool_info(&info);

    if (raw_sockets_allowed())
        expect_addresses_match_host(eth->name);
}

TEST(KernelProbes, InterfaceWithoutIpv4IsQuiet)
{
    skip_without_raw_sockets();
    if (trim(command_output("command -v ip")).empty())
        GTEST_SKIP() << "ip is not available to tell which interfaces lack IPv4";
    std::string chosen;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kSysNet, ec)) {
        std::string name = entry.path().filename().string();
        // Only six-byte hardware addresses compare with the probe's form.
        if (sys_attr(name, "address").size() == 17 && ip_v4_of(name).address.empty()) {
            chosen = name;
            break;
        }
    }
    if (chosen.empty())
        GTEST_SKIP() << "every interface has an IPv4 address";
    SCOPED_TRACE(chosen);
    expect_addresses_match_host(chosen);
}

TEST(KernelProbes, UnknownInterface)
{
    skip_without_raw_sockets();
    // A name longer than the request record must not be cut to another's.
    const char* const names[] = {"nosuchif0", "averyveryverylongname0"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        {
            StderrCapture err;
            InterfaceAddressInfo info;
            EXPECT_EQ(get_dynamic_interface_info(name, &info), 0);
            EXPECT_EQ(info.ipaddr, nullptr);
            EXPECT_EQ(info.netmask, nullptr);
            EXPECT_EQ(info.broadaddr, nullptr);
            EXPECT_EQ(info.hwaddr, nullptr);
            EXPECT_EQ(info.ipv6_addr, nullptr);
            EXPECT_EQ(info.link_status, LINK_STATE_NONE);
            EXPECT_EQ(get_logical_interface_status(name), LINK_STATE_NONE);
            EXPECT_EQ(err.take(), "");
        }
        StderrCapture err;
        EthtoolInfo info;
        EXPECT_EQ(get_ethtool_info(name, &info), 0);
        EXPECT_EQ(info.driver, nullptr);
        EXPECT_EQ(info.link_state, LINK_STATE_NONE);
        EXPECT_EQ(without_line_numbers(err.take()),
                  std::string("ERROR: ETHTOOL_GDRVINFO ioctl to ") + name +
                      " failed, (errno=19, -1), dazed-fug,N\n" +
                      "ERROR: ETHTOOL_GLINK ioctl to " + name +
                      " failed, (errno=19, -1), dazed-fug,N\n");
    }
}

TEST(KernelProbes, SocketsAreOpenedOnceAndKept)
{
    skip_without_raw_sockets();
    auto probe_all = [] {
        EthtoolInfo ethtool;
        get_ethtool_info("lo", &ethtool);
        free_ethtool_info(&ethtool);
        InterfaceAddressInfo addresses;
        get_dynamic_interface_info("lo", &addresses);
        free_dynamic_interface_info(&addresses);
        get_logical_interface_status("lo");
    };
    // Nothing else in the test program holds a socket: after any number of
    // calls the probes' three sockets are exactly what is open.
    for (int round = 0; round < 5; ++round) {
        probe_all();
        EXPECT_EQ(socket_fd_count(), 3) << "round " << round;
    }
}

TEST(KernelProbes, FreeingAddressTextsTwiceIsHarmless)
{
    skip_without_raw_sockets();
    InterfaceAddressInfo info;
    get_dynamic_interface_info("lo", &info);
    LinkState link = info.link_status;
    uint32_t prefix = info.ipv6_prefix_len;
    for (int round = 0; round < 2; ++round) {
        free_dynamic_interface_info(&info);
        EXPECT_EQ(info.ipaddr, nullptr);
        EXPECT_EQ(info.hwaddr, nullptr);
        EXPECT_EQ(info.ipv6_addr_short, nullptr);
        EXPECT_EQ(info.link_status, link);
        EXPECT_EQ(info.ipv6_prefix_len, prefix);
    }
}
