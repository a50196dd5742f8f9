#pragma once

// Result of every mode and the process exit status.
enum ReturnCode : int {
    FWUPG_OK = 0,
    FWUPG_OK_REBOOT = 1,
    FWUPG_NOOP_SAME_VERSION = 2,
    FWUPG_NOOP = 3,
    FWUPG_TARGET_NOT_FOUND = 4,
    FWUPG_QUIT = 5,
    FWUPG_ERR = 6,
    FWUPG_ERR_FLASH_FAILURE = 7,
};

// "FWUPG_OK" ... "FWUPG_ERR_FLASH_FAILURE"; "UNKNOWN" for any other value.
const char* return_code_name(int code);
