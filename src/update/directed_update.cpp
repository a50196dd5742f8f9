#include "update/directed_update.h"

#include "app/return_codes.h"

int read_discovery_report()
{
    return FWUPG_ERR;
}
