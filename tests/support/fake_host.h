#pragma once

#include "app/host_seam.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// One network interface as the scripted probes report it.
struct FakeInterface {
    std::string name;
    std::string bus_info;  // empty: the ethtool query gives none
    std::string hwaddr;    // empty: no hardware address
    uint32_t venid = 0, devid = 0, subvenid = 0, subdevid = 0;
    bool pci_readable = true;
    int dynamic_result = 0;
};

// An interface on a PCI device with vendor 8086, subsystem 8086-A02C.
FakeInterface pci_nic(const std::string& name, const std::string& bus_info, const std::string& mac,
                      uint32_t devid = 0x10C9);

// Installs scripted probes into g_host for its lifetime (and a root, so
// that no host path is the real one); restores the production seam after.
class FakeHost {
public:
    explicit FakeHost(std::vector<FakeInterface> interfaces, const std::string& root = "/nonexistent-root");
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // Names the probes were asked about, in order.
    std::vector<std::string> ethtool_queries;
    std::vector<std::string> address_queries;
    std::vector<std::string> pci_queries;

    static FakeHost* active;
    std::vector<FakeInterface> interfaces;
};

} // namespace testing_support
