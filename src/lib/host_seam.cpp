#include "lib/host_seam.h"

#include "lib/shell.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

const char HOST_SYS_CLASS_NET[] = "/sys/class/net";
const char HOST_SYS_PCI_DEVICES[] = "/sys/bus/pci/devices";
const char HOST_PROC_IF_INET6[] = "/proc/net/if_inet6";
const char HOST_LIB_MODULES[] = "/lib/modules/";
const char HOST_SUSE_RELEASE[] = "/etc/SuSE-release";
const char HOST_REDHAT_RELEASE[] = "/etc/redhat-release";
const char HOST_STATE_DIR[] = "/var/lib/dazed-fug";
const char HOST_LOCKDOWN[] = "/sys/kernel/security/lockdown";
const char HOST_SIG_ENFORCE[] = "/sys/module/module/parameters/sig_enforce";
const char HOST_DEV_LOG[] = "/dev/log";

namespace {

int uname_release(std::string* release)
{
    struct utsname names {};
    if (uname(&names) != 0)
        return -1;
    release->assign(names.release);
    return 0;
}

int kernel_ioctl(int fd, unsigned long request, struct ifreq* ifr)
{
    return ioctl(fd, request, ifr);
}

} // namespace

HostSeam production_host_seam()
{
    HostSeam seam;
    seam.root.clear();
    seam.effective_uid = geteuid;
    seam.kernel_release = uname_release;
    seam.open_socket = socket;
    seam.socket_ioctl = kernel_ioctl;
    seam.run_command = run_shell_command;
    return seam;
}

HostSeam g_host = production_host_seam();

std::string host_path(const char* absolute_path)
{
    return g_host.root + absolute_path;
}
