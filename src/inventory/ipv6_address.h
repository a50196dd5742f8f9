#pragma once

#include "inventory/probes.h"

// Fills the IPv6 fields of info from the interface's first record in
// /proc/net/if_inet6. Returns 1 when the file cannot be read or the
// address cannot be converted, else 0 (also when the interface has none).
int read_interface_ipv6(const char* name, InterfaceAddressInfo* info);
