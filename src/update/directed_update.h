#pragma once

// Flashes the adapters that a discovery report marks (-u). Returns 0, or
// FWUPG_ERR when the report cannot be read, a device cannot be handled or a
// flash failed.
int read_discovery_report();

// Reads g_XMLDiscoveryReport in two passes into g_ninfo, one record per
// `device` element, and sets count to their number. g_nNics and g_nDazedNICs
// are left alone. Returns 0, or FWUPG_ERR (logged) with nothing to flash.
int load_discovery_report(int& count);
