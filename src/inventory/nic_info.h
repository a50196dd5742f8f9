#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t NIC_HAS_ROM = 0x1;
constexpr uint32_t NIC_UPDATE = 0x2;

constexpr size_t ROM_VERSION_SIZE = 10;  // nine characters and the terminator

// Indexes into NicInfo::rom_versions.
enum RomVersionSlot {
    PXE_CUR = 0,
    PXE_IMG = 1,
    SETUP_CUR = 2,
    SETUP_IMG = 3,
    OCD_CUR = 4,
    OCD_IMG = 5,
    ROM_VERSION_SLOTS = 6,
};

struct RomVersion {
    uint32_t major;
    uint32_t minor;
    uint32_t build;
};

// What became of a flash of the adapter in this run.
enum class FlashOutcome { NOT_FLASHED, SUCCEEDED, FAILED };

// One adapter. An absent text is the empty string; a fresh record is all zero.
struct NicInfo {
    std::string device_id;
    std::string bus_location;
    uint32_t venid = 0;
    uint32_t devid = 0;
    uint32_t subvenid = 0;
    uint32_t subdevid = 0;
    std::string busnumber;
    std::string devicenumber;
    std::string funcnumber;
    std::string macaddress;
    int32_t nic_number = 0;
    RomVersion cur_version{};
    RomVersion img_version{};
    std::string product_id;
    std::string fw_file;
    std::string fw_image_path;
    std::string slotnumber;
    uint32_t flags = 0;
    char rom_versions[ROM_VERSION_SLOTS][ROM_VERSION_SIZE] = {};
    FlashOutcome flash_outcome = FlashOutcome::NOT_FLASHED;
    // -u: the available version as the report states it; only told in the
    // system log's summary, never compared.
    std::string reported_version;
};

// The inventory table; adapters pass between functions as their index.
extern std::vector<NicInfo> g_ninfo;
extern int32_t g_nNics;
extern int32_t g_nDazedNICs;
// Adapters that the inventory found but left out because the flash tool gave
// no usable number, installed or image version for them (each logged). A mode that
// could not handle every adapter does not end with success.
extern int32_t g_nLeftOutNICs;

// Stores a sub-version text into its slot, cut to nine characters.
void set_rom_version(NicInfo& nic, RomVersionSlot slot, const char* text);

// "%d.%d.%d" of the three components: how every version is shown,
// logged and reported.
std::string version_text(const RomVersion& version);

// Version comparison shared by the update decision and the discovery report,
// major first, then minor, then build.
enum class VersionOrder { AVAILABLE_NEWER, SAME, INSTALLED_NEWER };
VersionOrder compare_versions(const RomVersion& installed, const RomVersion& available);
