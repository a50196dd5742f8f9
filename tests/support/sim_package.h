#pragma once

#include "support/test_support.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A network interface of this machine as the program sees it: an eth
// interface on function 0 of a PCI device.
struct HostNic {
    std::string name;
    std::string mac;       // 12 upper-case hexadecimal digits
    std::string bus_info;  // full PCI address, e.g. 0000:00:03.0
    uint32_t venid = 0, devid = 0, subvenid = 0, subdevid = 0;
    std::string key() const;  // "%04X-%04X-%04X-%04X"
};

// The first such interface in name order, or nothing.
std::optional<HostNic> find_host_pci_nic();

// One catalog entry; write_catalog escapes the texts for XML.
struct CatalogEntryText {
    std::string name;
    std::string venid, devid, subvenid, subdevid;  // written as given, not reformatted
    std::string fw_file;
};

// The catalog entry that names this machine's NIC.
CatalogEntryText catalog_entry_for(const HostNic& nic, const std::string& name, const std::string& fw_file);

// Why the real binary cannot be run against this machine's NIC with the
// simulator here ("" when it can); fills nic.
std::string host_nic_run_unavailable(std::optional<HostNic>* nic);

// "%04X" of an ID, the form the catalog must carry.
std::string hex4(uint32_t id);

// A text as an XML attribute value needs it (&, <, > and " escaped).
std::string xml_attribute(const std::string& text);
// One catalog element, its attributes in the documented order.
std::string catalog_element(const CatalogEntryText& entry);
// Writes a catalog of count entries, each made as it is written, so that a
// large catalog never stands in memory whole.
void write_catalog_file(const std::string& path, size_t count,
                        const std::function<CatalogEntryText(size_t)>& entry);

// A temporary working directory laid out like an unpacked component
// package: the simulator as ./bootutil, nic_fw/ with catalog and images,
// durivozo/. The simulator keeps its state in bootutil-sim.state there and
// logs each invocation to bootutil-sim.log.
class SimPackage {
public:
    // simulator: the flash-tool simulator to install (empty: the one built
    // with the tests).
    explicit SimPackage(const std::string& simulator = "");
    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }
    bool has_simulator() const { return !simulator_.empty(); }

    void write_catalog(const std::vector<CatalogEntryText>& entries);
    void write_catalog(size_t count, const std::function<CatalogEntryText(size_t)>& entry);
    // Offers this machine's NIC: the catalog names it "Host Adapter" with
    // the image host.bin, and the tool lists it as adapter 1 with combo 1.2.8
    // installed and 1.3.21 in the image. The keys given stand before the
    // defaults on the adapter's line, and so replace them.
    void offer_host_nic(const HostNic& nic, const std::string& adapter_keys = "");
    // Writes nic_fw/<file> so that the tool finds the image on disk.
    void add_image_file(const std::string& file);
    // The simulator's state, line by line (see tools/README.md).
    void write_state(const std::string& text);
    std::string state() const;
    // A key of the adapter with this MAC in the current state ("" if none).
    std::string adapter_value(const std::string& mac, const std::string& key) const;
    // Argument lists of the simulator's invocations, in order.
    std::vector<std::string> tool_invocations() const;
    // The shell command lines that ran the simulator, in order.
    std::vector<std::string> tool_command_lines() const;
    void clear_tool_log();

private:
    TempDir dir_;
    std::string simulator_;
};

} // namespace testing_support

// Skips the test unless the real binary may run here against this
// machine's PCI NIC with the simulator; fills the optional HostNic.
#define SKIP_UNLESS_HOST_NIC(nic)                                                     \
    do {                                                                              \
        std::string why_ = testing_support::host_nic_run_unavailable(&(nic));         \
        if (!why_.empty())                                                            \
            GTEST_SKIP() << why_;                                                     \
    } while (0)
