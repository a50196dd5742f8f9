#pragma once

#include <net/if.h>

// The kernel's interface request record with the interface name filled in.
struct InterfaceRequest {
    struct ifreq ifr;
    // A name longer than the 15 characters of the record would, once cut,
    // name another interface; such a request is never sent.
    bool name_fits;
};

// Zeroes the record and copies the name into it (null counts as empty).
void init_interface_request(InterfaceRequest* req, const char* name);

// ioctl on the request, through the host seam; a name that did not fit
// fails as an unknown interface does (ENODEV) without asking the kernel.
int interface_ioctl(int fd, unsigned long request, InterfaceRequest* req);

// The probes' three sockets, each opened through the host seam on first use
// and kept for the run; a failed opening (errno set) is tried again next time.
enum class ProbeSocket {
    ADDRESSES,    // raw IPv4: the address queries
    LINK_STATUS,  // raw IPv4 of its own: the interface flags
    ETHTOOL,      // datagram: the ethtool requests
};
int probe_socket(ProbeSocket which);

// Closes them, so that the next probe opens its socket anew; for tests that
// change the seam.
void close_probe_sockets();
