#pragma once

// Fills the inventory from the kernel's interfaces, the flash tool and the
// catalog: supported adapters packed from record 0 in interface-name order,
// zero records behind them. Returns 0 or FWUPG_ERR.
int build_NIC_list();
