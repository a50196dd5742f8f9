#include "inventory/ipv6_address.h"

#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/host_seam.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr size_t kIpv6TextSize = 323;

struct ScopeRow {
    unsigned int field;
    Ipv6Scope scope;
};

const ScopeRow kScopeTable[] = {
    {0x00, IPV6_SCOPE_GLOBAL},   {0x20, IPV6_SCOPE_LINK},     {0x40, IPV6_SCOPE_SITE},
    {0x80, IPV6_SCOPE_V4COMPAT}, {0x10, IPV6_SCOPE_LOOPBACK},
};

Ipv6Scope ipv6_scope_from_field(unsigned int field)
{
    for (const ScopeRow& row : kScopeTable) {
        if (row.field == field)
            return row.scope;
    }
    return IPV6_SCOPE_OTHER;
}

} // namespace

int read_interface_ipv6(const char* name, InterfaceAddressInfo* info)
{
    std::string path = host_path(HOST_PROC_IF_INET6);
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "re"), fclose);
    if (!file)
        return 1;

    // Sized for the widest field each conversion may store.
    char digits[41];
    char devname[17];
    unsigned int index = 0, prefix_len = 0, scope = 0, flags = 0;
    for (;;) {
        // Cleared so that a short record never shows a longer one's remains.
        memset(digits, 0, sizeof digits);
        memset(devname, 0, sizeof devname);
        // A record that does not parse whole ends the search: its device
        // name could not be trusted.
        if (fscanf(file.get(), "%40s %02x %02x %02x %02x %16s\n", digits, &index, &prefix_len,
                   &scope, &flags, devname) != 6)
            return 0;
        if (strcmp(devname, name) == 0)
            break;
    }

    info->ipv6_addr = static_cast<char*>(allocate_zeroed(kIpv6TextSize, __LINE__));
    info->ipv6_addr_short = static_cast<char*>(allocate_zeroed(kIpv6TextSize, __LINE__));
    format_bounded(info->ipv6_addr, kIpv6TextSize, "%.4s:%.4s:%.4s:%.4s:%.4s:%.4s:%.4s:%.4s",
                   digits, digits + 4, digits + 8, digits + 12, digits + 16, digits + 20,
                   digits + 24, digits + 28);

    struct in6_addr address {};
    // inet_pton sets no errno for a malformed text; report 0 then, not a stale value.
    errno = 0;
    if (inet_pton(AF_INET6, info->ipv6_addr, &address) != 1) {
        fprintf(stderr, "INFO: could not get ipv6 addr for %s: errno=%d, %s,%d\n", name, errno,
                DIAGNOSTIC_TAIL);
        return 1;
    }
    if (inet_ntop(AF_INET6, &address, info->ipv6_addr_short, kIpv6TextSize - 1) == nullptr) {
        free(info->ipv6_addr_short);
        info->ipv6_addr_short = nullptr;
        return 1;
    }
    info->ipv6_prefix_len = prefix_len;
    info->ipv6_scope = ipv6_scope_from_field(scope);
    return 0;
}
