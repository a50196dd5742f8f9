#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

struct ifreq;

// Every host path goes through g_host.root, and every answer of the system
// that a fixture tree cannot give goes through one of its hooks. Production
// never changes it; tests point the root at a fixture tree and script the
// hooks.
struct HostSeam {
    // Prefix for every absolute host path ("/sys/...", "/proc/...",
    // "/lib/modules/", "/etc/...", "/var/lib/..."); empty in production.
    std::string root;
    // The effective user ID; checks that apply to root ask this.
    uid_t (*effective_uid)();
    // Kernel release as uname reports it; 0 on success.
    int (*kernel_release)(std::string* release);
    // The probes' sockets and the interface requests sent on them.
    int (*open_socket)(int domain, int type, int protocol);
    int (*socket_ioctl)(int fd, unsigned long request, struct ifreq* ifr);
    // Runs one command line through the shell (shielded: with the
    // termination signals ignored; every_second, if set, called about once a
    // second meanwhile) and gives what do_command gives. In production the
    // shell itself, run_shell_command; tests record the lines here.
    int (*run_command)(const char* command, bool shielded, const std::function<void()>& every_second);
};

extern HostSeam g_host;

// The production seam: real paths, the real system.
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
extern const char HOST_LOCKDOWN[];            // "/sys/kernel/security/lockdown"
extern const char HOST_SIG_ENFORCE[];         // "/sys/module/module/parameters/sig_enforce"
extern const char HOST_DEV_LOG[];             // "/dev/log": the system log
