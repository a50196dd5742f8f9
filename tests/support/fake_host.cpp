#include "support/fake_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace testing_support {

FakeHost* FakeHost::active = nullptr;

namespace {

const FakeInterface* find(const char* name)
{
    for (const FakeInterface& i : FakeHost::active->interfaces) {
        if (i.name == name)
            return &i;
    }
    return nullptr;
}

char* dup(const std::string& s)
{
    return s.empty() ? nullptr : strdup(s.c_str());
}

int fake_interface_list(char*** list, const char* pattern, int* count)
{
    *list = nullptr;
    *count = 0;
    std::vector<std::string> names;
    for (const FakeInterface& i : FakeHost::active->interfaces) {
        if (pattern == nullptr || i.name.find(pattern) != std::string::npos)
            names.push_back(i.name);
    }
    std::sort(names.begin(), names.end());
    if (names.empty())
        return 6;
    size_t size = names.size() * sizeof(char*);
    for (const std::string& n : names)
        size += n.size() + 1;
    char** block = static_cast<char**>(malloc(size));
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

int fake_ethtool_info(const char* name, EthtoolInfo* info)
{
    memset(info, 0, sizeof *info);
    FakeHost::active->ethtool_queries.push_back(name);
    if (const FakeInterface* i = find(name)) {
        info->bus_info = dup(i->bus_info);
        info->driver = strdup("fake");
    }
    return 0;
}

int fake_pci_info(const char* bus_info, uint32_t* venid, uint32_t* devid, uint32_t* subvenid, uint32_t* subdevid)
{
    FakeHost::active->pci_queries.push_back(bus_info);
    for (const FakeInterface& i : FakeHost::active->interfaces) {
        if (i.bus_info == bus_info && i.pci_readable) {
            *venid = i.venid;
            *devid = i.devid;
            *subvenid = i.subvenid;
            *subdevid = i.subdevid;
            return 0;
        }
    }
    return 6;
}

int fake_dynamic_interface_info(const char* name, InterfaceAddressInfo* info)
{
    memset(info, 0, sizeof *info);
    FakeHost::active->address_queries.push_back(name);
    const FakeInterface* i = find(name);
    if (i == nullptr)
        return -1;
    info->hwaddr = dup(i->hwaddr);
    return i->dynamic_result;
}

void fake_free_dynamic_info(InterfaceAddressInfo* info)
{
    free(info->hwaddr);
    info->hwaddr = nullptr;
}

int fake_kernel_release(std::string* release)
{
    *release = "5.14.0-fake";
    return 0;
}

} // namespace

FakeInterface pci_nic(const std::string& name, const std::string& bus_info, const std::string& mac, uint32_t devid)
{
    FakeInterface i;
    i.name = name;
    i.bus_info = bus_info;
    i.hwaddr = mac;
    i.venid = 0x8086;
    i.devid = devid;
    i.subvenid = 0x8086;
    i.subdevid = 0xA02C;
    return i;
}

FakeHost::FakeHost(std::vector<FakeInterface> list, const std::string& root) : interfaces(std::move(list))
{
    active = this;
    g_host.root = root;
    g_host.kernel_release = fake_kernel_release;
    g_host.interface_list = fake_interface_list;
    g_host.ethtool_info = fake_ethtool_info;
    g_host.pci_info = fake_pci_info;
    g_host.dynamic_interface_info = fake_dynamic_interface_info;
    g_host.free_dynamic_info = fake_free_dynamic_info;
}

FakeHost::~FakeHost()
{
    g_host = production_host_seam();
    active = nullptr;
}

} // namespace testing_support
