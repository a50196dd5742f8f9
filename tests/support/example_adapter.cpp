#include "support/example_adapter.h"

namespace testing_support {

NicInfo example_adapter()
{
    NicInfo nic;
    nic.device_id = "eth2";
    nic.bus_location = "0b:00.0";
    nic.venid = 0x8086;
    nic.devid = 0x10C9;
    nic.subvenid = 0x8086;
    nic.subdevid = 0xA02C;
    nic.macaddress = "001B21123456";
    nic.nic_number = 1;
    nic.cur_version = {1, 2, 8};
    nic.img_version = {1, 3, 21};
    nic.product_id = "Dual Port Gigabit Server Adapter";
    nic.fw_file = "img1.bin";
    nic.fw_image_path = "./nic_fw/img1.bin";
    const char* texts[ROM_VERSION_SLOTS] = {"1.3.33", "1.3.45", "2.2.6", "2.2.8", "1.0.7", "1.0.9"};
    for (int slot = 0; slot < ROM_VERSION_SLOTS; ++slot)
        set_rom_version(nic, static_cast<RomVersionSlot>(slot), texts[slot]);
    nic.flags = NIC_HAS_ROM;
    return nic;
}

} // namespace testing_support
