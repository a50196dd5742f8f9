#pragma once

// Writes the discovery report (-d) for the supported adapters to
// g_XMLDiscoveryReport. Returns 0, or FWUPG_ERR when there is no supported
// adapter or the report could not be written.
int discover_HW();

// Writes the report for the current inventory. Returns 0, or FWUPG_ERR when
// no complete report was saved (logged, naming the path).
int xml_discovery_report();
