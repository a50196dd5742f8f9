#pragma once

#include <cstddef>
#include <cstdint>

// The run's state that every layer may read: the flag word and the report
// path. Both are set before a mode starts and live for the whole run.

// The run flag word. Who sets each bit, and who reads it:
//   RUN_SHOW_CURRENT, RUN_DISCOVERY, RUN_USE_XML: -c, -d, -u, set by
//     parse_options; read by select_mode, which picks the mode, and (the
//     last two) by the console gate, which they close.
//   RUN_SILENT: -s, set by parse_options; read by the prompt (every
//     question takes its default) and by the console gate.
//   RUN_FORCE, RUN_REWRITE, RUN_DOWNGRADE: -f, -e, -g, set by parse_options;
//     read by the update decision and the prompt (the default answer).
//   RUN_USER_QUIT: set by select_firmware when the operator quits; read by
//     fw_upgrade, which judges no further adapter.
//   RUN_ACCEPTED: set by select_firmware when an adapter is accepted; a
//     record only, read by no one.
//   RUN_FLASH_FAILED, RUN_FLASH_OK: set by do_update_firmware after each
//     flash; read by fw_upgrade, the directed update, and run control for
//     an interrupted run's result.
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

constexpr size_t XML_REPORT_PATH_SIZE = 4096;

// The discovery report path, empty when none: set from the command line by
// verify_cmd_line_options; -d (discover_HW) writes the report there and -u
// (read_discovery_report) reads it.
extern char g_XMLDiscoveryReport[XML_REPORT_PATH_SIZE];
