#include "inventory/probes.h"

#include "lib/config.h"
#include "lib/host_seam.h"
#include "lib/return_codes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kPciIdFiles[] = {"vendor", "device", "subsystem_vendor", "subsystem_device"};
constexpr int kPciIdCount = sizeof kPciIdFiles / sizeof kPciIdFiles[0];

} // namespace

int get_pci_info(const char* bus_info, uint32_t* venid, uint32_t* devid, uint32_t* subvenid,
                 uint32_t* subdevid)
{
    if (bus_info == nullptr || bus_info[0] == '\0')
        return FWUPG_ERR;

    // Built as a string: under a fixture root, or with a long bus text, the
    // path outgrows any fixed buffer.
    std::string device_dir = host_path(HOST_SYS_PCI_DEVICES) + "/" + bus_info + "/";
    unsigned int ids[kPciIdCount] = {};
    for (int i = 0; i < kPciIdCount; ++i) {
        std::string path = device_dir + kPciIdFiles[i];
        std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "re"), fclose);
        if (!file) {
            fprintf(stderr, "ERROR: could not open %s (errno=%d), %s,%d\n", path.c_str(), errno,
                    DIAGNOSTIC_TAIL);
            return FWUPG_ERR;
        }
        // The kernel writes "0x8086"; %x takes the prefix. No number leaves 0.
        if (fscanf(file.get(), "%x", &ids[i]) != 1)
            ids[i] = 0;
    }
    *venid = ids[0];
    *devid = ids[1];
    *subvenid = ids[2];
    *subdevid = ids[3];
    return FWUPG_OK;
}
