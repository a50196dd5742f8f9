#include "inventory/probes.h"

#include "inventory/interface_request.h"
#include "inventory/ipv6_address.h"
#include "lib/bounded_text.h"
#include "lib/config.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kIpv4TextSize = 57;
constexpr size_t kHwaddrTextSize = 43;

// One IPv4 query; the field stays null when the kernel has no answer.
struct Ipv4Query {
    unsigned long request;
    char* InterfaceAddressInfo::*field;
    const char* failure_format;
};

const Ipv4Query kIpv4Queries[] = {
    {SIOCGIFADDR, &InterfaceAddressInfo::ipaddr,
     "INFO: ioctl(SIOCGIFADDR) for %s: errno=%d, %s, %s,%d\n"},
    {SIOCGIFNETMASK, &InterfaceAddressInfo::netmask,
     "INFO: ioctl(SIOCGIFNETMASK) for %s: errno=%d, %s, %s,%d\n"},
    {SIOCGIFBRDADDR, &InterfaceAddressInfo::broadaddr,
     "INFO: ioctl(SIOCGIFBRDADDR) for %s: errno=%d, %s, %s,%d\n"},
};

// The address of every IPv4 answer sits at the same place in the record.
char* ipv4_text(const struct ifreq& ifr)
{
    struct sockaddr_in sin;
    memcpy(&sin, &ifr.ifr_addr, sizeof sin);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&sin.sin_addr.s_addr);
    char* text = static_cast<char*>(allocate_zeroed(kIpv4TextSize, __LINE__));
    format_bounded(text, kIpv4TextSize, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

char* hwaddr_text(const struct ifreq& ifr)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(ifr.ifr_hwaddr.sa_data);
    char* text = static_cast<char*>(allocate_zeroed(kHwaddrTextSize, __LINE__));
    format_bounded(text, kHwaddrTextSize, "%.2X%.2X%.2X%.2X%.02X%.2X", b[0], b[1], b[2], b[3],
                   b[4], b[5]);
    return text;
}

} // namespace

int get_dynamic_interface_info(const char* name, InterfaceAddressInfo* info)
{
    memset(info, 0, sizeof *info);

    const int sock = probe_socket(ProbeSocket::ADDRESSES);
    if (sock < 0)
        return -1;

    InterfaceRequest req;
    init_interface_request(&req, name);
    req.ifr.ifr_addr.sa_family = AF_INET;
    int result = 0;

    for (const Ipv4Query& query : kIpv4Queries) {
        if (interface_ioctl(sock, query.request, &req) == 0) {
            info->*query.field = ipv4_text(req.ifr);
        } else if (errno != ENODEV && errno != EADDRNOTAVAIL) {
            int err = errno;
            fprintf(stderr, query.failure_format, name, err, strerror(err), DIAGNOSTIC_TAIL);
            result = 1;
        }
    }

    if (interface_ioctl(sock, SIOCGIFHWADDR, &req) == 0) {
        info->hwaddr = hwaddr_text(req.ifr);
    } else if (errno != ENODEV) {
        int err = errno;
        fprintf(stderr, "ERROR: ioctl(SIOCGIFHWADDR) for %s: errno=%d, %s, %s,%d\n", name, err,
                strerror(err), DIAGNOSTIC_TAIL);
        result = 1;
    }

    info->link_status = get_logical_interface_status(name);

    if (read_interface_ipv6(name, info) != 0)
        return 1;
    return result;
}

void free_dynamic_interface_info(InterfaceAddressInfo* info)
{
    char* InterfaceAddressInfo::*const texts[] = {
        &InterfaceAddressInfo::ipaddr,    &InterfaceAddressInfo::netmask,
        &InterfaceAddressInfo::broadaddr, &InterfaceAddressInfo::hwaddr,
        &InterfaceAddressInfo::ipv6_addr, &InterfaceAddressInfo::ipv6_addr_short,
    };
    for (auto text : texts) {
        free(info->*text);
        info->*text = nullptr;
    }
}
