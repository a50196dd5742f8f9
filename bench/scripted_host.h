#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// One simulated adapter: interface, PCI identity, the tool's view of it and
// its image.
struct BenchAdapter {
    std::string name;      // eth<k>
    std::string bus_info;  // 0000:<bus>:<device>.0
    std::string mac;       // 12 upper-case hexadecimal digits
    uint32_t venid = 0, devid = 0, subvenid = 0, subdevid = 0;
    int nic_number = 0;    // the tool's adapter number
    std::string image;     // file name in nic_fw/
};

// Adapter k (from 0): its own bus, MAC, device ID and image.
BenchAdapter make_adapter(int k);
// Adapters 0 to n - 1.
std::vector<BenchAdapter> make_adapters(int n);

// The catalog key of an adapter.
std::string catalog_key(const BenchAdapter& adapter);

// Points g_host at probes that answer from the table (and at a root under
// which no host path exists). The table must outlive the seam.
void install_scripted_host(const std::vector<BenchAdapter>& adapters);

} // namespace bench
