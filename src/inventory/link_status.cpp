#include "inventory/probes.h"

#include "app/config.h"
#include "inventory/interface_request.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

LinkState get_logical_interface_status(const char* name)
{
    // Its own socket, kept for the whole run; retried while creation fails.
    static int sock = -1;
    if (sock < 0) {
        sock = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
        if (sock < 0)
            return LINK_STATE_NONE;
    }

    InterfaceRequest req;
    init_interface_request(&req, name);
    if (interface_ioctl(sock, SIOCGIFFLAGS, &req) == 0)
        return (req.ifr.ifr_flags & IFF_UP) != 0 ? LINK_STATE_UP : LINK_STATE_DOWN;
    if (errno != ENODEV) {
        int err = errno;
        fprintf(stderr, "INFO: ioctl(SIOCGIFFLAGS) for %s: errno=%d, %s, %s,%d\n", name, err,
                strerror(err), g_SourceName, __LINE__);
    }
    return LINK_STATE_NONE;
}
