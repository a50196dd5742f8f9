#include "update/fw_upgrade.h"

#include "app/return_codes.h"

int fw_upgrade()
{
    return FWUPG_ERR;
}

int do_update_firmware(int index)
{
    (void)index;
    return FWUPG_ERR;
}
