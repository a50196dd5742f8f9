#include "inventory/nic_list.h"

#include "app/return_codes.h"

int build_NIC_list()
{
    return FWUPG_ERR;
}
