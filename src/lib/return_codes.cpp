#include "lib/return_codes.h"

namespace {

struct ReturnCodeName {
    ReturnCode code;
    const char* name;
};

const ReturnCodeName kReturnCodes[] = {
    {FWUPG_OK, "FWUPG_OK"},
    {FWUPG_OK_REBOOT, "FWUPG_OK_REBOOT"},
    {FWUPG_NOOP_SAME_VERSION, "FWUPG_NOOP_SAME_VERSION"},
    {FWUPG_NOOP, "FWUPG_NOOP"},
    {FWUPG_TARGET_NOT_FOUND, "FWUPG_TARGET_NOT_FOUND"},
    {FWUPG_QUIT, "FWUPG_QUIT"},
    {FWUPG_ERR, "FWUPG_ERR"},
    {FWUPG_ERR_FLASH_FAILURE, "FWUPG_ERR_FLASH_FAILURE"},
};

} // namespace

const char* return_code_name(int code)
{
    for (const ReturnCodeName& row : kReturnCodes) {
        if (row.code == code)
            return row.name;
    }
    return "UNKNOWN";
}
