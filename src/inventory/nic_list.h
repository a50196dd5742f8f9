#pragma once

// Fills the inventory from the kernel's interfaces, the flash tool and the
// catalog: supported adapters packed from record 0 in interface-name order,
// zero records behind them. Returns 0 or FWUPG_ERR.
int build_NIC_list();

// What a mode that worked on the inventory ends with: FWUPG_ERR instead of
// FWUPG_OK when adapters were left out (logged once more, with their number),
// so that a run which could not handle every adapter never reads as success.
int left_out_result(int result);
