#pragma once

#include <cstdint>

// The run flag word: option bits set while parsing, outcome bits set by the modes.
extern uint32_t g_iFlag;

constexpr uint32_t RUN_SHOW_CURRENT = 0x1;
constexpr uint32_t RUN_SILENT = 0x2;
constexpr uint32_t RUN_FORCE = 0x4;
constexpr uint32_t RUN_DISCOVERY = 0x20;
constexpr uint32_t RUN_USE_XML = 0x40;
constexpr uint32_t RUN_USER_QUIT = 0x100;
constexpr uint32_t RUN_FLASH_FAILED = 0x200;
constexpr uint32_t RUN_FLASH_OK = 0x400;
constexpr uint32_t RUN_ACCEPTED = 0x800;
constexpr uint32_t RUN_DOWNGRADE = 0x1000;
constexpr uint32_t RUN_REWRITE = 0x2000;
