#pragma once

#include "inventory/probes.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/types.h>

// Every host path and every probe of the kernel goes through g_host.
// Production never changes it; tests point it at a fixture tree and
// scripted probe answers.
struct HostSeam {
    // Prefix for every absolute host path ("/sys/...", "/proc/...",
    // "/lib/modules/", "/etc/..."); empty in production.
    std::string root;
    // The event log, relative to the working directory.
    std::string event_log_path;
    // The effective user ID; checks that apply to root ask this.
    uid_t (*effective_uid)();

    // Kernel release as uname reports it; 0 on success.
    int (*kernel_release)(std::string* release);

    int (*interface_list)(char*** list, const char* pattern, int* count);
    int (*ethtool_info)(const char* name, EthtoolInfo* info);
    int (*pci_info)(const char* bus_info, uint32_t* venid, uint32_t* devid,
                    uint32_t* subvenid, uint32_t* subdevid);
    int (*dynamic_interface_info)(const char* name, InterfaceAddressInfo* info);
    void (*free_dynamic_info)(InterfaceAddressInfo* info);
};

extern HostSeam g_host;

// The production seam: real paths, real kernel.
HostSeam production_host_seam();

// g_host.root followed by an absolute host path.
std::string host_path(const char* absolute_path);

// Host paths, kept here so that every one of them goes through host_path.
extern const char HOST_SYS_CLASS_NET[];       // "/sys/class/net"
extern const char HOST_SYS_PCI_DEVICES[];     // "/sys/bus/pci/devices"
extern const char HOST_PROC_IF_INET6[];       // "/proc/net/if_inet6"
extern const char HOST_LIB_MODULES[];         // "/lib/modules/"
extern const char HOST_SUSE_RELEASE[];        // "/etc/SuSE-release"
extern const char HOST_REDHAT_RELEASE[];      // "/etc/redhat-release"
extern const char HOST_STATE_DIR[];           // "/var/lib/dazed-fug": the staging record
