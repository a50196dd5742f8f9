#include "inventory/interface_request.h"

#include "app/bounded_text.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

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
    return ioctl(fd, request, &req->ifr);
}
