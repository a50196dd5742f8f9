#include "support/sim_package.h"

#include "catalog/fw_catalog.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <sstream>
#include <utility>

namespace testing_support {

namespace {

uint32_t read_hex_file(const std::string& path)
{
    unsigned value = 0;
    if (FILE* f = fopen(path.c_str(), "r")) {
        if (fscanf(f, "%x", &value) != 1)
            value = 0;
        fclose(f);
    }
    return value;
}

std::string trim(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

std::string mac_from_sysfs(const std::string& address)
{
    std::string mac;
    for (char c : address) {
        if (c != ':')
            mac += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return mac;
}

} // namespace

std::string hex4(uint32_t id)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%04X", id);
    return buf;
}

std::string xml_attribute(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string catalog_element(const CatalogEntryText& e)
{
    const std::pair<const char*, const std::string*> attributes[] = {
        {"name", &e.name},         {"venid", &e.venid},       {"devid", &e.devid},
        {"subvenid", &e.subvenid}, {"subdevid", &e.subdevid}, {"fwFile", &e.fw_file},
    };
    std::string xml = "  <NIC";
    for (const auto& [key, value] : attributes)
        xml += std::string(" ") + key + "=\"" + xml_attribute(*value) + "\"";
    return xml + "/>\n";
}

void write_catalog_file(const std::string& path, size_t count, const std::function<CatalogEntryText(size_t)>& entry)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NICFWData>\n";
    for (size_t i = 0; i < count; ++i)
        out << catalog_element(entry(i));
    out << "</NICFWData>\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::string HostNic::key() const
{
    return pci_identity_key(venid, devid, subvenid, subdevid);
}

std::optional<HostNic> find_host_pci_nic()
{
    std::vector<std::string> names;
    if (DIR* d = opendir("/sys/class/net")) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.find("eth") != std::string::npos && n[0] != '.')
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::string net = "/sys/class/net/" + n;
        // The PCI device is the interface's device or, for virtio, its parent.
        for (const char* up : {"/device", "/device/.."}) {
            char resolved[4096];
            if (realpath((net + up).c_str(), resolved) == nullptr)
                continue;
            std::string dev = resolved;
            std::string bus = dev.substr(dev.rfind('/') + 1);
            unsigned dom, b, s, fn;
            if (sscanf(bus.c_str(), "%x:%x:%x.%x", &dom, &b, &s, &fn) != 4 ||
                !file_exists(dev + "/subsystem_device"))
                continue;
            if (fn != 0)
                break;
            HostNic nic;
            nic.name = n;
            nic.mac = mac_from_sysfs(trim(read_file(net + "/address")));
            nic.bus_info = bus;
            nic.venid = read_hex_file(dev + "/vendor");
            nic.devid = read_hex_file(dev + "/device");
            nic.subvenid = read_hex_file(dev + "/subsystem_vendor");
            nic.subdevid = read_hex_file(dev + "/subsystem_device");
            if (nic.mac.size() == 12)
                return nic;
            break;
        }
    }
    return std::nullopt;
}

CatalogEntryText catalog_entry_for(const HostNic& nic, const std::string& name, const std::string& fw_file)
{
    return {name, hex4(nic.venid), hex4(nic.devid), hex4(nic.subvenid), hex4(nic.subdevid), fw_file};
}

std::string host_nic_run_unavailable(std::optional<HostNic>* nic)
{
    std::string why = host_unsafe_for_real_binary();
    if (!why.empty())
        return why;
    *nic = find_host_pci_nic();
    if (!*nic)
        return "no eth interface on function 0 of a PCI device on this machine";
    TempDir probe;
    if (install_simulator(probe.path()).empty())
        return "the flash-tool simulator is not built";
    return "";
}

SimPackage::SimPackage(const std::string& simulator)
{
    make_dirs(dir_.file("nic_fw"));
    make_dirs(dir_.file("durivozo"));
    simulator_ = install_simulator(dir_.path(), simulator);
}

void SimPackage::write_catalog(const std::vector<CatalogEntryText>& entries)
{
    write_catalog(entries.size(), [&](size_t i) { return entries[i]; });
}

void SimPackage::write_catalog(size_t count, const std::function<CatalogEntryText(size_t)>& entry)
{
    write_catalog_file(file("nic_fw/NICFWData.xml"), count, entry);
}

void SimPackage::offer_host_nic(const HostNic& nic, const std::string& adapter_keys)
{
    add_image_file("host.bin");
    write_catalog({catalog_entry_for(nic, "Host Adapter", "host.bin")});
    write_state("adapter nic=1 mac=" + nic.mac + " " + adapter_keys +
                " psid=P1 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n"
                "image file=host.bin psid=P1 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n");
}

void SimPackage::add_image_file(const std::string& name)
{
    write_file(file("nic_fw/" + name), "simulated firmware image " + name + "\n");
}

void SimPackage::write_state(const std::string& text)
{
    write_file(file("bootutil-sim.state"), text);
}

std::string SimPackage::state() const
{
    return read_file(file("bootutil-sim.state"));
}

std::string SimPackage::adapter_value(const std::string& mac, const std::string& key) const
{
    for (const std::string& line : split_lines(state())) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word != "adapter" || line.find("mac=" + mac) == std::string::npos)
            continue;
        while (words >> word) {
            if (word.rfind(key + "=", 0) == 0)
                return word.substr(key.size() + 1);
        }
    }
    return "";
}

std::vector<std::string> SimPackage::tool_invocations() const
{
    std::vector<std::string> out;
    for (const std::string& line : split_lines(read_file(file("bootutil-sim.log"))))
        out.push_back(line.substr(0, line.find('\t')));
    return out;
}

std::vector<std::string> SimPackage::tool_command_lines() const
{
    std::vector<std::string> out;
    for (const std::string& line : split_lines(read_file(file("bootutil-sim.log")))) {
        size_t tab = line.find('\t');
        out.push_back(tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return out;
}

void SimPackage::clear_tool_log()
{
    write_file(file("bootutil-sim.log"), "");
}

} // namespace testing_support
