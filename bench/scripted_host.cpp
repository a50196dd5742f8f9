#include "scripted_host.h"

#include "catalog/fw_catalog.h"
#include "support/fake_host.h"

#include <cstdio>
#include <memory>

namespace bench {

BenchAdapter make_adapter(int k, int models)
{
    const int model = models > 0 ? k % models : k;
    char text[32];
    BenchAdapter a;
    a.name = "eth" + std::to_string(k);
    // 32 devices per bus keeps every address distinct and valid.
    snprintf(text, sizeof text, "0000:%02x:%02x.0", (k / 32 + 1) & 0xff, k % 32);
    a.bus_info = text;
    snprintf(text, sizeof text, "00DA2E%06X", static_cast<unsigned>(k));
    a.mac = text;
    a.venid = 0xDA2E;
    a.devid = 0x1000 + static_cast<uint32_t>(model);
    a.subvenid = 0xDA2E;
    a.subdevid = 0x0001;
    a.nic_number = k + 1;
    a.image = "img" + std::to_string(model) + ".bin";
    return a;
}

std::vector<BenchAdapter> make_adapters(int n, int models)
{
    std::vector<BenchAdapter> adapters;
    for (int k = 0; k < n; ++k)
        adapters.push_back(make_adapter(k, models));
    return adapters;
}

std::string catalog_key(const BenchAdapter& adapter)
{
    return pci_identity_key(adapter.venid, adapter.devid, adapter.subvenid, adapter.subdevid);
}

void install_scripted_host(const std::vector<BenchAdapter>& adapters)
{
    std::vector<testing_support::FakeInterface> interfaces;
    for (const BenchAdapter& a : adapters) {
        testing_support::FakeInterface i;
        i.name = a.name;
        i.bus_info = a.bus_info;
        i.hwaddr = a.mac;
        i.venid = a.venid;
        i.devid = a.devid;
        i.subvenid = a.subvenid;
        i.subdevid = a.subdevid;
        interfaces.push_back(i);
    }
    // Kept for the rest of the scenario's process.
    static std::unique_ptr<testing_support::FakeHost> host;
    host.reset();
    host = std::make_unique<testing_support::FakeHost>(std::move(interfaces));
}

} // namespace bench
