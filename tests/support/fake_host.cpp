#include "support/fake_host.h"

#include "inventory/interface_request.h"

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace testing_support {

FakeHost* FakeHost::active = nullptr;

namespace {

const FakeInterface* find(const char* name)
{
    for (const FakeInterface& i : FakeHost::active->interfaces) {
        if (i.name == name)
            return &i;
    }
    return nullptr;
}

int fake_kernel_release(std::string* release)
{
    *release = "5.14.0-fake";
    return 0;
}

// Numbers that stand for the probes' sockets; nothing is opened.
int fake_socket(int, int type, int)
{
    return 1000 + (type & 0xff);
}

int fail(int err)
{
    errno = err;
    return -1;
}

int answer_ethtool(const FakeInterface& i, struct ifreq* ifr)
{
    uint32_t cmd = 0;
    memcpy(&cmd, ifr->ifr_data, sizeof cmd);
    if (cmd != ETHTOOL_GDRVINFO || i.bus_info.empty())
        return fail(EOPNOTSUPP);
    FakeHost::active->ethtool_queries.push_back(i.name);
    auto* drvinfo = reinterpret_cast<struct ethtool_drvinfo*>(ifr->ifr_data);
    snprintf(drvinfo->driver, sizeof drvinfo->driver, "fake");
    snprintf(drvinfo->bus_info, sizeof drvinfo->bus_info, "%s", i.bus_info.c_str());
    return 0;
}

int answer_hwaddr(const FakeInterface& i, struct ifreq* ifr)
{
    if (i.hwaddr.size() != 12)
        return fail(ENODEV);
    for (int b = 0; b < 6; ++b)
        ifr->ifr_hwaddr.sa_data[b] = static_cast<char>(strtoul(i.hwaddr.substr(2 * b, 2).c_str(), nullptr, 16));
    return 0;
}

void write_id(const std::string& dir, const char* file, uint32_t id)
{
    char text[16];
    snprintf(text, sizeof text, "0x%04x\n", id);
    write_file(dir + "/" + file, text);
}

} // namespace

int FakeHost::socket_ioctl(int, unsigned long request, struct ifreq* ifr)
{
    const FakeInterface* i = active != nullptr ? find(ifr->ifr_name) : nullptr;
    if (i == nullptr)
        return fail(ENODEV);
    switch (request) {
    case SIOCETHTOOL:
        return answer_ethtool(*i, ifr);
    case SIOCGIFADDR:
        active->address_queries.push_back(i->name);
        return fail(EADDRNOTAVAIL);
    case SIOCGIFNETMASK:
    case SIOCGIFBRDADDR:
        return fail(EADDRNOTAVAIL);
    case SIOCGIFHWADDR:
        return answer_hwaddr(*i, ifr);
    case SIOCGIFFLAGS:
        ifr->ifr_flags = IFF_UP;
        return 0;
    default:
        return fail(EOPNOTSUPP);
    }
}

FakeInterface pci_nic(const std::string& name, const std::string& bus_info, const std::string& mac, uint32_t devid)
{
    FakeInterface i;
    i.name = name;
    i.bus_info = bus_info;
    i.hwaddr = mac;
    i.venid = 0x8086;
    i.devid = devid;
    i.subvenid = 0x8086;
    i.subdevid = 0xA02C;
    return i;
}

FakeHost::FakeHost(std::vector<FakeInterface> list, const std::string& root)
    : interfaces(std::move(list))
{
    if (root.empty())
        own_root_ = std::make_unique<TempDir>();
    base_ = root.empty() ? own_root_->path() : root;
    write_tree();
    close_probe_sockets();
    active = this;
    seam_->root = base_;
    seam_->kernel_release = fake_kernel_release;
    seam_->open_socket = fake_socket;
    seam_->socket_ioctl = socket_ioctl;
}

void FakeHost::set_interfaces(std::vector<FakeInterface> list)
{
    interfaces = std::move(list);
    write_tree();
}

void FakeHost::write_tree()
{
    std::error_code ignored;
    std::filesystem::remove_all(base_ + HOST_SYS_CLASS_NET, ignored);
    std::filesystem::remove_all(base_ + HOST_SYS_PCI_DEVICES, ignored);
    make_dirs(base_ + HOST_SYS_CLASS_NET);
    make_dirs(base_ + "/proc/net");
    write_file(base_ + HOST_PROC_IF_INET6, "");
    // The PCI reads are seen as the opening of each device's vendor file.
    if (watch_fd_ >= 0)
        close(watch_fd_);
    watch_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    watched_devices_.clear();
    for (const FakeInterface& i : interfaces) {
        make_dirs(base_ + HOST_SYS_CLASS_NET + "/" + i.name);
        if (i.bus_info.empty())
            continue;
        const std::string device = base_ + HOST_SYS_PCI_DEVICES + "/" + i.bus_info;
        make_dirs(device);
        write_id(device, "vendor", i.venid);
        write_id(device, "device", i.devid);
        write_id(device, "subsystem_vendor", i.subvenid);
        if (i.pci_readable)
            write_id(device, "subsystem_device", i.subdevid);
        int wd = watch_fd_ >= 0 ? inotify_add_watch(watch_fd_, device.c_str(), IN_OPEN) : -1;
        if (wd >= 0)
            watched_devices_[wd] = i.bus_info;
    }
}

FakeHost::~FakeHost()
{
    close_probe_sockets();
    active = nullptr;
    if (watch_fd_ >= 0)
        close(watch_fd_);
}

std::vector<std::string> FakeHost::pci_queries()
{
    alignas(struct inotify_event) char buffer[4096];
    ssize_t n;
    while (watch_fd_ >= 0 && (n = read(watch_fd_, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<struct inotify_event*>(p);
            if (event->len > 0 && strcmp(event->name, "vendor") == 0)
                pci_queries_.push_back(watched_devices_[event->wd]);
            p += sizeof *event + event->len;
        }
    }
    return pci_queries_;
}

} // namespace testing_support
