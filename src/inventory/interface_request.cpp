#include "inventory/interface_request.h"

#include "lib/bounded_text.h"
#include "lib/host_seam.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int g_probe_sockets[3] = {-1, -1, -1};

} // namespace

void init_interface_request(InterfaceRequest* req, const char* name)
{
    memset(req, 0, sizeof *req);
    req->name_fits = copy_bounded(req->ifr.ifr_name, sizeof req->ifr.ifr_name, name);
}

int interface_ioctl(int fd, unsigned long request, InterfaceRequest* req)
{
    if (!req->name_fits) {
        errno = ENODEV;
        return -1;
    }
    return g_host.socket_ioctl(fd, request, &req->ifr);
}

int probe_socket(ProbeSocket which)
{
    int& sock = g_probe_sockets[static_cast<int>(which)];
    if (sock < 0) {
        sock = which == ProbeSocket::ETHTOOL ? g_host.open_socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)
                                             : g_host.open_socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
        if (sock < 0)
            sock = -1;
    }
    return sock;
}

void close_probe_sockets()
{
    for (int& sock : g_probe_sockets) {
        // A scripted seam hands out numbers that are no descriptors of ours.
        if (sock >= 0 && g_host.open_socket == production_host_seam().open_socket)
            close(sock);
        sock = -1;
    }
}
