#pragma once

#include <cstdint>

// Physical link (ethtool) or administrative state (IFF_UP).
enum LinkState : int32_t {
    LINK_STATE_NONE = 0,
    LINK_STATE_UP = 1,
    LINK_STATE_DOWN = 2,
};

enum Ipv6Scope : int32_t {
    IPV6_SCOPE_GLOBAL = 0,
    IPV6_SCOPE_LINK = 1,
    IPV6_SCOPE_SITE = 2,
    IPV6_SCOPE_V4COMPAT = 3,
    IPV6_SCOPE_LOOPBACK = 5,
    IPV6_SCOPE_OTHER = 6,
};

// Texts are malloc'd copies owned by the caller; absent texts are null.
struct EthtoolInfo {
    char* driver;
    char* driver_version;
    char* fw_version;
    char* bus_info;
    LinkState link_state;
};

// Texts are released by free_dynamic_interface_info; absent texts are null.
struct InterfaceAddressInfo {
    char* ipaddr;
    char* netmask;
    char* broadaddr;
    char* hwaddr;
    char* ipv6_addr;
    char* ipv6_addr_short;
    uint32_t ipv6_prefix_len;
    Ipv6Scope ipv6_scope;
    LinkState link_status;
};

// One heap block: count pointers followed by the names they point at.
// Released with free(*list).
int get_interface_list(char*** list, const char* pattern, int* count);
int get_ethtool_info(const char* name, EthtoolInfo* info);
int get_pci_info(const char* bus_info, uint32_t* venid, uint32_t* devid,
                 uint32_t* subvenid, uint32_t* subdevid);
int get_dynamic_interface_info(const char* name, InterfaceAddressInfo* info);
LinkState get_logical_interface_status(const char* name);
void free_dynamic_interface_info(InterfaceAddressInfo* info);

// Releases the texts of an EthtoolInfo and sets them to null.
void free_ethtool_info(EthtoolInfo* info);
