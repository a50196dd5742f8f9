#include "report/show_current.h"

#include "app/return_codes.h"

int show_current()
{
    return FWUPG_ERR;
}
