#include "inventory/nic_info.h"

#include "app/bounded_text.h"

std::vector<NicInfo> g_ninfo;
int32_t g_nNics = 0;
int32_t g_nDazedNICs = 0;
int32_t g_nLeftOutNICs = 0;

bool is_zero_record(const NicInfo& nic)
{
    bool texts_empty = nic.device_id.empty() && nic.bus_location.empty() && nic.busnumber.empty() &&
                       nic.devicenumber.empty() && nic.funcnumber.empty() && nic.macaddress.empty() &&
                       nic.product_id.empty() && nic.fw_file.empty() && nic.fw_image_path.empty() &&
                       nic.slotnumber.empty();
    bool numbers_zero = nic.venid == 0 && nic.devid == 0 && nic.subvenid == 0 && nic.subdevid == 0 &&
                        nic.nic_number == 0 && nic.flags == 0 && nic.cur_version.major == 0 &&
                        nic.cur_version.minor == 0 && nic.cur_version.build == 0 &&
                        nic.img_version.major == 0 && nic.img_version.minor == 0 &&
                        nic.img_version.build == 0 && nic.flash_outcome == FlashOutcome::NOT_FLASHED;
    bool slots_empty = true;
    for (const auto& slot : nic.rom_versions) {
        for (char c : slot)
            slots_empty = slots_empty && c == '\0';
    }
    return texts_empty && numbers_zero && slots_empty;
}

void set_rom_version(NicInfo& nic, RomVersionSlot slot, const char* text)
{
    copy_bounded(nic.rom_versions[slot], ROM_VERSION_SIZE, text);
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
