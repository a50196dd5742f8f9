#include "inventory/nic_info.h"

#include "lib/bounded_text.h"

std::vector<NicInfo> g_ninfo;
int32_t g_nNics = 0;
int32_t g_nDazedNICs = 0;
int32_t g_nLeftOutNICs = 0;

void set_rom_version(NicInfo& nic, RomVersionSlot slot, const char* text)
{
    copy_bounded(nic.rom_versions[slot], ROM_VERSION_SIZE, text);
}

std::string version_text(const RomVersion& version)
{
    return format_text("%u.%u.%u", version.major, version.minor, version.build);
}

VersionOrder compare_versions(const RomVersion& installed, const RomVersion& available)
{
    // Major first, then minor, then build: a greater later component never
    // outweighs a smaller earlier one (2.0.5 is newer than 1.9.9).
    const uint32_t a[] = {available.major, available.minor, available.build};
    const uint32_t c[] = {installed.major, installed.minor, installed.build};
    for (int i = 0; i < 3; ++i) {
        if (a[i] != c[i])
            return a[i] > c[i] ? VersionOrder::AVAILABLE_NEWER : VersionOrder::INSTALLED_NEWER;
    }
    return VersionOrder::SAME;
}
