#pragma once

#include <cstddef>

// A server has at most a few hundred adapters, and a device element as the
// -d mode writes it takes about 1 KiB. These limits leave room for four
// times that many devices with values ten times as long, and keep a report
// that is no report from costing more than a few MiB of memory. The -d mode
// nests elements five deep, gives each one attribute and writes 22 elements
// per device.
constexpr size_t REPORT_MAX_BYTES = 4 * 1024 * 1024;
constexpr int REPORT_MAX_DEVICES = 1024;
constexpr int REPORT_MAX_DEPTH = 16;
constexpr int REPORT_MAX_ATTRIBUTES = 8;
constexpr size_t REPORT_MAX_ELEMENTS = 64 * REPORT_MAX_DEVICES;

// Flashes the adapters that a discovery report marks (-u). Returns 0, or
// FWUPG_ERR when the report cannot be read, a device cannot be handled or a
// flash failed.
int read_discovery_report();

// Reads g_XMLDiscoveryReport, a local regular file (not a symbolic link)
// within the limits above, in two passes into g_ninfo, one record per
// `device` element, and sets count to their number. g_nNics and g_nDazedNICs
// are left alone. Returns 0, or FWUPG_ERR (logged, unless a termination
// signal stopped the reading) with nothing to flash.
int load_discovery_report(int& count);
