#include "report/discovery_report.h"

#include "app/return_codes.h"

int discover_HW()
{
    return FWUPG_ERR;
}
