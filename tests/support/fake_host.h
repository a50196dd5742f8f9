#pragma once

#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// One network interface of the fake host.
struct FakeInterface {
    std::string name;
    std::string bus_info;  // empty: the ethtool query gives none
    std::string hwaddr;    // empty: no hardware address
    uint32_t venid = 0, devid = 0, subvenid = 0, subdevid = 0;
    bool pci_readable = true;  // false: its PCI device lacks the subsystem_device file
};

// An interface on a PCI device with vendor 8086, subsystem 8086-A02C.
FakeInterface pci_nic(const std::string& name, const std::string& bus_info, const std::string& mac,
                      uint32_t devid = 0x10C9);

// A host with these interfaces for the life of the object: a fixture tree
// under a root (/sys/class/net, the PCI devices' ID files, an empty
// /proc/net/if_inet6) and scripted kernel answers to the probes' socket
// requests. Without a root of its own it makes a temporary one. The seam
// as it was is put back after.
class FakeHost {
public:
    explicit FakeHost(std::vector<FakeInterface> interfaces, const std::string& root = "");
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // Names the probes were asked about, in order.
    std::vector<std::string> ethtool_queries;
    std::vector<std::string> address_queries;
    // The PCI devices whose IDs were read, in order.
    std::vector<std::string> pci_queries();

    // Gives the host these interfaces instead, fixture tree and answers.
    void set_interfaces(std::vector<FakeInterface> list);

    // The scripted answer to one socket request; a test's own hook may
    // hand requests on to it.
    static int socket_ioctl(int fd, unsigned long request, struct ifreq* ifr);

    static FakeHost* active;
    std::vector<FakeInterface> interfaces;

private:
    void write_tree();

    std::unique_ptr<TempDir> own_root_;
    std::string base_;
    ScopedHostSeam seam_;
    int watch_fd_ = -1;
    std::map<int, std::string> watched_devices_;
    std::vector<std::string> pci_queries_;
};

} // namespace testing_support
