// The probes against a scripted table of socket requests and replies, for
// the answers this machine's kernel does not give on demand.
#include "inventory/interface_request.h"
#include "inventory/probes.h"
#include "lib/host_seam.h"
#include "probe_test_support.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

using probe_testing::StderrCapture;
using probe_testing::without_line_numbers;

namespace {

// A reply: an errno for a failure, else 0 and what the kernel writes.
struct Reply {
    int err = EOPNOTSUPP;
    unsigned char bytes[6] = {};  // an address, or the hardware address
    uint32_t value = 0;           // the link value or the interface flags
    const char* bus_info = "";
};

// Request (the ethtool command for SIOCETHTOOL) -> reply.
std::map<unsigned long, Reply> g_replies;
bool g_sockets_fail = false;

unsigned long key_of(unsigned long request, struct ifreq* ifr)
{
    if (request != SIOCETHTOOL)
        return request;
    uint32_t cmd = 0;
    memcpy(&cmd, ifr->ifr_data, sizeof cmd);
    return SIOCETHTOOL << 8 | cmd;
}

int scripted_ioctl(int, unsigned long request, struct ifreq* ifr)
{
    auto found = g_replies.find(key_of(request, ifr));
    const Reply reply = found != g_replies.end() ? found->second : Reply{};
    if (reply.err != 0) {
        errno = reply.err;
        return -1;
    }
    if (request == SIOCETHTOOL) {
        auto* drvinfo = reinterpret_cast<struct ethtool_drvinfo*>(ifr->ifr_data);
        auto* link = reinterpret_cast<struct ethtool_value*>(ifr->ifr_data);
        if (drvinfo->cmd == ETHTOOL_GDRVINFO)
            snprintf(drvinfo->bus_info, sizeof drvinfo->bus_info, "%s", reply.bus_info);
        else
            link->data = reply.value;
    } else if (request == SIOCGIFHWADDR) {
        memcpy(ifr->ifr_hwaddr.sa_data, reply.bytes, 6);
    } else if (request == SIOCGIFFLAGS) {
        ifr->ifr_flags = static_cast<short>(reply.value);
    } else {
        auto* sin = reinterpret_cast<struct sockaddr_in*>(&ifr->ifr_addr);
        memcpy(&sin->sin_addr, reply.bytes, 4);
    }
    return 0;
}

int scripted_socket(int, int, int)
{
    if (g_sockets_fail) {
        errno = EACCES;
        return -1;
    }
    return 2000;
}

class ScriptedProbes : public ::testing::Test {
protected:
    void SetUp() override
    {
        close_probe_sockets();
        seam->root = dir.path();  // no /proc/net/if_inet6 there
        seam->open_socket = scripted_socket;
        seam->socket_ioctl = scripted_ioctl;
        g_replies.clear();
        g_sockets_fail = false;
    }
    void TearDown() override
    {
        close_probe_sockets();
    }
    testing_support::TempDir dir;
    testing_support::ScopedHostSeam seam;
};

Reply ok(uint32_t value = 0) { Reply r; r.err = 0; r.value = value; return r; }
Reply failing(int err) { Reply r; r.err = err; return r; }
Reply address(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    Reply r = ok();
    const unsigned char bytes[] = {a, b, c, d, 0, 0};
    memcpy(r.bytes, bytes, sizeof bytes);
    return r;
}

const unsigned long kDrvinfo = SIOCETHTOOL << 8 | ETHTOOL_GDRVINFO;
const unsigned long kLink = SIOCETHTOOL << 8 | ETHTOOL_GLINK;

TEST_F(ScriptedProbes, EthtoolAnswers)
{
    Reply bus = ok();
    bus.bus_info = "0000:03:00.0";
    const struct {
        const char* title;
        std::map<unsigned long, Reply> replies;
        const char* bus_info;  // null: none
        LinkState link;
        const char* errors;
    } cases[] = {
        {"both answered", {{kDrvinfo, bus}, {kLink, ok(1)}}, "0000:03:00.0", LINK_STATE_UP, ""},
        {"no link", {{kDrvinfo, bus}, {kLink, ok(0)}}, "0000:03:00.0", LINK_STATE_DOWN, ""},
        {"not supported is quiet", {}, nullptr, LINK_STATE_NONE, ""},
        {"other failures are reported", {{kDrvinfo, failing(EPERM)}, {kLink, failing(EIO)}}, nullptr,
         LINK_STATE_NONE,
         "ERROR: ETHTOOL_GDRVINFO ioctl to eth9 failed, (errno=1, -1), dazed-fug,N\n"
         "ERROR: ETHTOOL_GLINK ioctl to eth9 failed, (errno=5, -1), dazed-fug,N\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        g_replies = c.replies;
        StderrCapture err;
        EthtoolInfo info;
        EXPECT_EQ(get_ethtool_info("eth9", &info), 0);
        EXPECT_EQ(info.bus_info == nullptr ? std::string("(none)") : info.bus_info,
                  c.bus_info == nullptr ? "(none)" : c.bus_info);
        EXPECT_EQ(info.link_state, c.link);
        EXPECT_EQ(without_line_numbers(err.take()), c.errors);
        free_ethtool_info(&info);
    }
}

TEST_F(ScriptedProbes, AddressAnswers)
{
    Reply hw = ok();
    const unsigned char mac[] = {0x00, 0x1b, 0x21, 0x12, 0x34, 0x56};
    memcpy(hw.bytes, mac, sizeof mac);
    g_replies = {{SIOCGIFADDR, address(192, 168, 1, 7)},
                 {SIOCGIFNETMASK, address(255, 255, 255, 0)},
                 {SIOCGIFBRDADDR, failing(EADDRNOTAVAIL)},
                 {SIOCGIFHWADDR, hw},
                 {SIOCGIFFLAGS, ok(IFF_UP)}};
    {
        StderrCapture err;
        InterfaceAddressInfo info;
        // No /proc/net/if_inet6 under the root: the result says so.
        EXPECT_EQ(get_dynamic_interface_info("eth9", &info), 1);
        EXPECT_STREQ(info.ipaddr, "192.168.1.7");
        EXPECT_STREQ(info.netmask, "255.255.255.0");
        EXPECT_EQ(info.broadaddr, nullptr);
        EXPECT_STREQ(info.hwaddr, "001B21123456");
        EXPECT_EQ(info.link_status, LINK_STATE_UP);
        EXPECT_EQ(err.take(), "");
        free_dynamic_interface_info(&info);
    }

    // A hardware-address failure other than ENODEV is reported; an address
    // that is not configured is not.
    g_replies[SIOCGIFHWADDR] = failing(EADDRNOTAVAIL);
    g_replies[SIOCGIFADDR] = failing(EADDRNOTAVAIL);
    g_replies[SIOCGIFFLAGS] = ok(0);
    StderrCapture err;
    InterfaceAddressInfo info;
    EXPECT_EQ(get_dynamic_interface_info("eth9", &info), 1);
    EXPECT_EQ(info.hwaddr, nullptr);
    EXPECT_EQ(info.link_status, LINK_STATE_DOWN);
    EXPECT_EQ(without_line_numbers(err.take()),
              "ERROR: ioctl(SIOCGIFHWADDR) for eth9: errno=99, Cannot assign requested address, dazed-fug,N\n");
    free_dynamic_interface_info(&info);
}

TEST_F(ScriptedProbes, NoSocketNoAnswers)
{
    g_sockets_fail = true;
    StderrCapture err;
    EthtoolInfo ethtool;
    EXPECT_EQ(get_ethtool_info("eth9", &ethtool), 6);
    InterfaceAddressInfo info;
    EXPECT_EQ(get_dynamic_interface_info("eth9", &info), -1);
    EXPECT_EQ(get_logical_interface_status("eth9"), LINK_STATE_NONE);
    EXPECT_EQ(without_line_numbers(err.take()), "ERROR: could not open socket for eth9, (errno=13), dazed-fug,N\n");

    // A failed opening is tried again at the next call.
    g_sockets_fail = false;
    g_replies = {{SIOCGIFFLAGS, ok(IFF_UP)}};
    EXPECT_EQ(get_logical_interface_status("eth9"), LINK_STATE_UP);
}

} // namespace
