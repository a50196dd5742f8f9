#pragma once

// Fills the inventory from the kernel's interfaces, the flash tool and the
// catalog. Returns 0 or FWUPG_ERR.
int build_NIC_list();
