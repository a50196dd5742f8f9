#include "inventory/probes.h"

#include "inventory/interface_request.h"
#include "lib/config.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

LinkState get_logical_interface_status(const char* name)
{
    const int sock = probe_socket(ProbeSocket::LINK_STATUS);
    if (sock < 0)
        return LINK_STATE_NONE;

    InterfaceRequest req;
    init_interface_request(&req, name);
    if (interface_ioctl(sock, SIOCGIFFLAGS, &req) == 0)
        return (req.ifr.ifr_flags & IFF_UP) != 0 ? LINK_STATE_UP : LINK_STATE_DOWN;
    if (errno != ENODEV) {
        int err = errno;
        fprintf(stderr, "INFO: ioctl(SIOCGIFFLAGS) for %s: errno=%d, %s, %s,%d\n", name, err,
                strerror(err), DIAGNOSTIC_TAIL);
    }
    return LINK_STATE_NONE;
}
