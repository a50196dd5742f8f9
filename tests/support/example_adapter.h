#pragma once

#include "inventory/nic_info.h"

namespace testing_support {

// The example adapter of the tests: eth2 at 0b:00.0, MAC 001B21123456,
// 8086-10C9-8086-A02C "Dual Port Gigabit Server Adapter", tool number 1,
// combo 1.2.8 installed and 1.3.21 in img1.bin, PXE 1.3.33/1.3.45, Setup
// 2.2.6/2.2.8, OCD 1.0.7/1.0.9; NIC_HAS_ROM.
NicInfo example_adapter();

} // namespace testing_support
