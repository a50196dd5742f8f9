#pragma once

// Fills the inventory from the kernel's interfaces, the flash tool and the
// catalog: supported adapters packed from record 0 in interface-name order,
// zero records behind them. Returns 0 or FWUPG_ERR; FWUPG_ERR also when
// adapters were found but every one was left out (said on the console).
int build_NIC_list();

// What a mode that worked on the inventory ends with. When adapters were
// left out it says how many (log and console) and turns FWUPG_OK into
// FWUPG_ERR, so that a run which could not handle every adapter never reads
// as success; any other result stays.
int left_out_result(int result);
