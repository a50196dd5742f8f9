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

// Adapter k (from 0): its own bus, MAC and tool number. With models > 0 it
// is of board model k % models (device ID and image of that model);
// otherwise its model is its own, k.
BenchAdapter make_adapter(int k, int models = 0);
// Adapters 0 to n - 1.
std::vector<BenchAdapter> make_adapters(int n, int models = 0);

// The catalog key of an adapter.
std::string catalog_key(const BenchAdapter& adapter);

// Points g_host at scripted probes that answer from the table (and at a
// root under which no host path exists).
void install_scripted_host(const std::vector<BenchAdapter>& adapters);

} // namespace bench
