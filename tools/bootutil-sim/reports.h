#pragma once

#include "state_model.h"

#include <string>

namespace bootutil_sim {

// Every answer starts with the tool's banner and a blank line.
void print_banner();

// -E: header lines, then one line per listed adapter in state order,
// "NIC <n>: MACAddress=<mac> PSID=<psid> Series=Dazed". Gives the exit
// status: the first list_exit of an adapter, else 0.
int print_adapter_list(const HostState& state);

// -iv -QUIET -FILE=<path>: "Combo Image Version Name: <combo>" and
// "OCD Option ROM: v<ocd>" among noise lines.
void print_image_report(const std::string& path, const StateLine& image);

// -iv -QUIET -FILE=<path> -NIC=<n>: "PXE       v<pxe>" and "Setup     v<setup>".
void print_image_for_adapter(const std::string& path, const StateLine& image,
                             const StateLine& adapter);

// -iv -QUIET -NIC=<n>: the installed combo, PXE, Setup and OCD versions.
void print_adapter_report(const StateLine& adapter);

} // namespace bootutil_sim
