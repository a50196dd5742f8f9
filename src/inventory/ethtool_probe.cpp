#include "inventory/probes.h"

#include "inventory/interface_request.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Heap copy of a fixed-size kernel text that need not be terminated.
template <size_t N>
char* copy_kernel_text(const char (&text)[N])
{
    char* copy = static_cast<char*>(allocate_zeroed(N + 1, __LINE__));
    memcpy(copy, text, strnlen(text, N));
    return copy;
}

} // namespace

int get_ethtool_info(const char* name, EthtoolInfo* info)
{
    memset(info, 0, sizeof *info);
    InterfaceRequest req;
    init_interface_request(&req, name);

    const int sock = probe_socket(ProbeSocket::ETHTOOL);
    if (sock < 0) {
        fprintf(stderr, "ERROR: could not open socket for %s, (errno=%d), %s,%d\n", name, errno, DIAGNOSTIC_TAIL);
        return FWUPG_ERR;
    }

    struct ethtool_drvinfo drvinfo {};
    drvinfo.cmd = ETHTOOL_GDRVINFO;
    req.ifr.ifr_data = reinterpret_cast<char*>(&drvinfo);
    int rc = interface_ioctl(sock, SIOCETHTOOL, &req);
    if (rc == 0) {
        info->driver = copy_kernel_text(drvinfo.driver);
        info->driver_version = copy_kernel_text(drvinfo.version);
        info->fw_version = copy_kernel_text(drvinfo.fw_version);
        info->bus_info = copy_kernel_text(drvinfo.bus_info);
    } else if (rc < 0 && errno != EOPNOTSUPP) {
        fprintf(stderr, "ERROR: ETHTOOL_GDRVINFO ioctl to %s failed, (errno=%d, %d), %s,%d\n",
                name, errno, rc, DIAGNOSTIC_TAIL);
    }

    struct ethtool_value link {};
    link.cmd = ETHTOOL_GLINK;
    req.ifr.ifr_data = reinterpret_cast<char*>(&link);
    rc = interface_ioctl(sock, SIOCETHTOOL, &req);
    if (rc == 0) {
        info->link_state = link.data != 0 ? LINK_STATE_UP : LINK_STATE_DOWN;
    } else if (rc < 0 && errno != EOPNOTSUPP) {
        fprintf(stderr, "ERROR: ETHTOOL_GLINK ioctl to %s failed, (errno=%d, %d), %s,%d\n", name,
                errno, rc, DIAGNOSTIC_TAIL);
        info->link_state = LINK_STATE_NONE;
    }
    return FWUPG_OK;
}

void free_ethtool_info(EthtoolInfo* info)
{
    free(info->driver);
    free(info->driver_version);
    free(info->fw_version);
    free(info->bus_info);
    info->driver = nullptr;
    info->driver_version = nullptr;
    info->fw_version = nullptr;
    info->bus_info = nullptr;
}
