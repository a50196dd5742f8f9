#include "inventory/probes.h"

#include "probe_test_support.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::ScopedHostSeam;
using probe_testing::StderrCapture;
using probe_testing::raw_sockets_allowed;
using probe_testing::without_line_numbers;
using testing_support::TempDir;
using testing_support::make_dirs;
using testing_support::write_file;

// The records name lo so that the address and flag queries before the
// IPv6 step reach a real interface.

namespace {

struct Ipv6Case {
    const char* title;
    const char* records;
    int result;
    const char* full;    // null: no address
    const char* short_form;
    uint32_t prefix_len;
    Ipv6Scope scope;
    const char* err;
};

const Ipv6Case kIpv6Cases[] = {
    {"link-local record",
     "fe80000000000000021b21fffe123456 02 40 20 80 lo\n",
     0, "fe80:0000:0000:0000:021b:21ff:fe12:3456", "fe80::21b:21ff:fe12:3456", 64,
     IPV6_SCOPE_LINK, ""},
    {"first record of the interface wins",
     "20010db8000000000000000000000001 01 30 00 80 lo\n"
     "fe80000000000000021b21fffe123456 01 40 20 80 lo\n",
     0, "2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1", 48, IPV6_SCOPE_GLOBAL, ""},
    {"other interfaces and longer names are skipped",
     "fe800000000000000000000000000001 03 40 20 80 eth0\n"
     "fe800000000000000000000000000002 04 40 20 80 lo1\n"
     "fe800000000000000000000000000003 05 40 20 80 l\n"
     "00000000000000000000000000000001 01 80 10 80       lo\n",
     0, "0000:0000:0000:0000:0000:0000:0000:0001", "::1", 128, IPV6_SCOPE_LOOPBACK, ""},
    {"no record of the interface",
     "fe800000000000000000000000000001 03 40 20 80 eth0\n", 0, nullptr, nullptr, 0,
     IPV6_SCOPE_GLOBAL, ""},
    {"empty file", "", 0, nullptr, nullptr, 0, IPV6_SCOPE_GLOBAL, ""},
    {"upper-case digits keep their case in the full form",
     "FE80000000000000021B21FFFE123456 02 40 20 80 lo\n",
     0, "FE80:0000:0000:0000:021B:21FF:FE12:3456", "fe80::21b:21ff:fe12:3456", 64,
     IPV6_SCOPE_LINK, ""},
    {"unconvertible address",
     "zz80000000000000021b21fffe123456 02 40 20 80 lo\n",
     1, "zz80:0000:0000:0000:021b:21ff:fe12:3456", "", 0, IPV6_SCOPE_GLOBAL,
     "INFO: could not get ipv6 addr for lo: errno=0, dazed-fug,N\n"},
    {"short address after a long one",
     "fe800000000000000000000000000001 03 40 20 80 eth0\n"
     "fe80 02 40 20 80 lo\n",
     1, "fe80:::::::", "", 0, IPV6_SCOPE_GLOBAL,
     "INFO: could not get ipv6 addr for lo: errno=0, dazed-fug,N\n"},
};

struct ScopeCase {
    const char* field;
    Ipv6Scope scope;
};

const ScopeCase kScopeCases[] = {
    {"00", IPV6_SCOPE_GLOBAL},   {"20", IPV6_SCOPE_LINK},     {"40", IPV6_SCOPE_SITE},
    {"80", IPV6_SCOPE_V4COMPAT}, {"10", IPV6_SCOPE_LOOPBACK}, {"01", IPV6_SCOPE_OTHER},
    {"50", IPV6_SCOPE_OTHER},    {"ff", IPV6_SCOPE_OTHER},
};

class Ipv6Fixture : public testing::Test {
protected:
    void SetUp() override
    {
        if (!raw_sockets_allowed())
            GTEST_SKIP() << "raw IPv4 sockets are not permitted to this user";
        make_dirs(root_.path() + "/proc/net");
    }
    void write_records(const std::string& records)
    {
        write_file(root_.path() + "/proc/net/if_inet6", records);
    }
    TempDir root_;
};

std::string text_or_null(const char* text)
{
    return text != nullptr ? text : "(null)";
}

} // namespace

TEST_F(Ipv6Fixture, FirstRecordOfTheInterface)
{
    for (const Ipv6Case& c : kIpv6Cases) {
        SCOPED_TRACE(c.title);
        write_records(c.records);
        ScopedHostSeam seam(root_.path());
        StderrCapture err;

        InterfaceAddressInfo info;
        int rc = get_dynamic_interface_info("lo", &info);

        EXPECT_EQ(rc, c.result);
        EXPECT_EQ(text_or_null(info.ipv6_addr), text_or_null(c.full));
        EXPECT_EQ(text_or_null(info.ipv6_addr_short), text_or_null(c.short_form));
        EXPECT_EQ(info.ipv6_prefix_len, c.prefix_len);
        EXPECT_EQ(info.ipv6_scope, c.scope);
        EXPECT_EQ(without_line_numbers(err.take()), c.err);
        free_dynamic_interface_info(&info);
    }
}

TEST_F(Ipv6Fixture, ScopeFieldMapping)
{
    for (const ScopeCase& c : kScopeCases) {
        SCOPED_TRACE(c.field);
        write_records(std::string("00000000000000000000000000000001 01 80 ") + c.field +
                      " 80 lo\n");
        ScopedHostSeam seam(root_.path());

        InterfaceAddressInfo info;
        EXPECT_EQ(get_dynamic_interface_info("lo", &info), 0);
        EXPECT_EQ(info.ipv6_scope, c.scope);
        EXPECT_EQ(info.ipv6_prefix_len, 128u);
        free_dynamic_interface_info(&info);
    }
}

TEST_F(Ipv6Fixture, MissingFileGivesOneAndKeepsEarlierFields)
{
    ScopedHostSeam seam(root_.path());
    StderrCapture err;

    InterfaceAddressInfo info;
    EXPECT_EQ(get_dynamic_interface_info("lo", &info), 1);
    EXPECT_EQ(text_or_null(info.hwaddr), "000000000000");
    EXPECT_EQ(info.ipv6_addr, nullptr);
    EXPECT_EQ(info.ipv6_addr_short, nullptr);
    EXPECT_EQ(err.take(), "");
    free_dynamic_interface_info(&info);
}
