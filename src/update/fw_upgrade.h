#pragma once

// The default mode: judge every adapter in order (stopping at a quit), then
// flash every selected one. Returns FWUPG_OK, FWUPG_QUIT or FWUPG_ERR.
int fw_upgrade();

// Flashes the adapter at index when it is selected (NIC_UPDATE) and records
// the outcome as RUN_FLASH_OK or RUN_FLASH_FAILED. Returns 0 after a
// successful flash, FWUPG_ERR otherwise.
int do_update_firmware(int index);

struct NicInfo;
// Logs that the record's image name is refused for the shell.
void log_refused_image_name(const NicInfo& nic);
