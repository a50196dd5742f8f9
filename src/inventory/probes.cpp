#include "inventory/probes.h"

#include <cstdlib>
#include <cstring>

int get_interface_list(char*** list, const char* pattern, int* count)
{
    (void)pattern;
    *list = nullptr;
    *count = 0;
    return 6;
}

int get_ethtool_info(const char* name, EthtoolInfo* info)
{
    (void)name;
    memset(info, 0, sizeof *info);
    return 6;
}

int get_pci_info(const char* bus_info, uint32_t* venid, uint32_t* devid, uint32_t* subvenid,
                 uint32_t* subdevid)
{
    (void)bus_info;
    (void)venid;
    (void)devid;
    (void)subvenid;
    (void)subdevid;
    return 6;
}

int get_dynamic_interface_info(const char* name, InterfaceAddressInfo* info)
{
    (void)name;
    memset(info, 0, sizeof *info);
    return -1;
}

LinkState get_logical_interface_status(const char* name)
{
    (void)name;
    return LINK_STATE_NONE;
}

void free_dynamic_interface_info(InterfaceAddressInfo* info)
{
    (void)info;
}

void free_ethtool_info(EthtoolInfo* info)
{
    (void)info;
}
