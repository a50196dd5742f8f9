#pragma once

// Flashes the adapter at index when it is selected (NIC_UPDATE), for both
// update modes, and records the outcome as RUN_FLASH_OK or RUN_FLASH_FAILED
// and in the record. Returns 0 after a successful flash, FWUPG_ERR otherwise.
int do_update_firmware(int index);
