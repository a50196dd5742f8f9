#pragma once

// The default mode: judge every adapter, then flash the selected ones.
int fw_upgrade();
// Flashes one selected adapter and records the outcome in g_iFlag.
int do_update_firmware(int index);
