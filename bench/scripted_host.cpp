#include "scripted_host.h"

#include "app/host_seam.h"
#include "tool/fw_catalog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

const std::vector<BenchAdapter>* g_adapters = nullptr;

const BenchAdapter* find_by_name(const char* name)
{
    for (const BenchAdapter& a : *g_adapters) {
        if (a.name == name)
            return &a;
    }
    return nullptr;
}

char* dup_text(const std::string& s)
{
    char* copy = strdup(s.c_str());
    if (copy == nullptr)
        abort();
    return copy;
}

// One heap block: the pointers, then the names, as the real probe returns it.
int scripted_interface_list(char*** list, const char* pattern, int* count)
{
    std::vector<std::string> names;
    for (const BenchAdapter& a : *g_adapters) {
        if (pattern == nullptr || a.name.find(pattern) != std::string::npos)
            names.push_back(a.name);
    }
    std::sort(names.begin(), names.end());
    *list = nullptr;
    *count = 0;
    if (names.empty())
        return 6;
    size_t size = names.size() * sizeof(char*);
    for (const std::string& n : names)
        size += n.size() + 1;
    char** block = static_cast<char**>(malloc(size));
    if (block == nullptr)
        abort();
    char* text = reinterpret_cast<char*>(block + names.size());
    for (size_t k = 0; k < names.size(); ++k) {
        block[k] = text;
        memcpy(text, names[k].c_str(), names[k].size() + 1);
        text += names[k].size() + 1;
    }
    *list = block;
    *count = static_cast<int>(names.size());
    return 0;
}

int scripted_ethtool_info(const char* name, EthtoolInfo* info)
{
    memset(info, 0, sizeof *info);
    if (const BenchAdapter* a = find_by_name(name)) {
        info->bus_info = dup_text(a->bus_info);
        info->driver = dup_text("bench");
    }
    return 0;
}

int scripted_pci_info(const char* bus_info, uint32_t* venid, uint32_t* devid, uint32_t* subvenid,
                      uint32_t* subdevid)
{
    for (const BenchAdapter& a : *g_adapters) {
        if (a.bus_info == bus_info) {
            *venid = a.venid;
            *devid = a.devid;
            *subvenid = a.subvenid;
            *subdevid = a.subdevid;
            return 0;
        }
    }
    return 6;
}

int scripted_dynamic_interface_info(const char* name, InterfaceAddressInfo* info)
{
    memset(info, 0, sizeof *info);
    const BenchAdapter* a = find_by_name(name);
    if (a == nullptr)
        return -1;
    info->hwaddr = dup_text(a->mac);
    return 0;
}

void scripted_free_dynamic_info(InterfaceAddressInfo* info)
{
    free(info->hwaddr);
    info->hwaddr = nullptr;
}

int scripted_kernel_release(std::string* release)
{
    *release = "6.1.0-bench";
    return 0;
}

} // namespace

BenchAdapter make_adapter(int k)
{
    char text[32];
    BenchAdapter a;
    a.name = "eth" + std::to_string(k);
    // 32 devices per bus keeps every address distinct and valid.
    snprintf(text, sizeof text, "0000:%02x:%02x.0", (k / 32 + 1) & 0xff, k % 32);
    a.bus_info = text;
    snprintf(text, sizeof text, "00DA2E%06X", static_cast<unsigned>(k));
    a.mac = text;
    a.venid = 0xDA2E;
    a.devid = 0x1000 + static_cast<uint32_t>(k);
    a.subvenid = 0xDA2E;
    a.subdevid = 0x0001;
    a.nic_number = k + 1;
    a.image = "img" + std::to_string(k) + ".bin";
    return a;
}

std::vector<BenchAdapter> make_adapters(int n)
{
    std::vector<BenchAdapter> adapters;
    for (int k = 0; k < n; ++k)
        adapters.push_back(make_adapter(k));
    return adapters;
}

std::string catalog_key(const BenchAdapter& adapter)
{
    return pci_identity_key(adapter.venid, adapter.devid, adapter.subvenid, adapter.subdevid);
}

void install_scripted_host(const std::vector<BenchAdapter>& adapters)
{
    g_adapters = &adapters;
    g_host.root = "/nonexistent-bench-root";
    g_host.kernel_release = scripted_kernel_release;
    g_host.interface_list = scripted_interface_list;
    g_host.ethtool_info = scripted_ethtool_info;
    g_host.pci_info = scripted_pci_info;
    g_host.dynamic_interface_info = scripted_dynamic_interface_info;
    g_host.free_dynamic_info = scripted_free_dynamic_info;
}

} // namespace bench
