#include "inventory/nic_list.h"

#include "catalog/fw_catalog.h"
#include "inventory/nic_info.h"
#include "inventory/nic_versions.h"
#include "inventory/probes.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/host_seam.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/shell.h"
#include "log/event_log.h"
#include "log/progress_line.h"
#include "tool/flash_tool.h"
#include "tool/text_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};

// The probe results of one interface, released however the pass leaves it.
struct ProbedInterface {
    EthtoolInfo ethtool{};
    InterfaceAddressInfo address{};
    ~ProbedInterface()
    {
        free_ethtool_info(&ethtool);
        free_dynamic_interface_info(&address);
    }
};

bool is_pci_function_zero(const char* bus_info)
{
    unsigned domain, bus, device, function;
    if (bus_info == nullptr || sscanf(bus_info, "%x:%x:%x.%x", &domain, &bus, &device, &function) != 4)
        return false;
    return function == 0;
}

// How many lines of the tool's adapter list carry this MAC text; 0 once the
// run is interrupted.
int count_listed(const char* mac)
{
    if (!do_command_unless_interrupted(cmd_count_lines(TMP_DATA_CUR, mac)))
        return 0;
    int matches = 0;
    if (FILE* f = fopen(TMP_DATA_TMP, "r")) {
        if (fscanf(f, "%d", &matches) != 1)
            matches = 0;
        fclose(f);
    }
    return matches;
}

enum class Candidate { KEPT, SKIPPED, PCI_ID_FAILURE };

// First pass for one interface: identity, tool listing and catalog lookup
// into the record at next_free.
Candidate probe_candidate(const char* name, int next_free)
{
    ProbedInterface probed;
    get_ethtool_info(name, &probed.ethtool);
    // Only function 0 of a PCI device stands for the adapter; anything that
    // does not read as a PCI address is no candidate at all.
    if (!is_pci_function_zero(probed.ethtool.bus_info))
        return Candidate::SKIPPED;

    int rc = get_dynamic_interface_info(name, &probed.address);
    if (rc < 0)
        fprintf(stderr, "\n\nWARNING: get_dynamic_interface_info RC = %d\n%s,%d\n\n", rc, DIAGNOSTIC_TAIL);
    if (!is_mac_text(probed.address.hwaddr) || count_listed(probed.address.hwaddr) == 0)
        return Candidate::SKIPPED;

    NicInfo& nic = g_ninfo[next_free];
    nic.device_id = name;
    const char* colon = strchr(probed.ethtool.bus_info, ':');
    nic.bus_location = colon != nullptr ? colon + 1 : "";

    uint32_t venid, devid, subvenid, subdevid;
    if (get_pci_info(probed.ethtool.bus_info, &venid, &devid, &subvenid, &subdevid) != 0) {
        log_event_f(LOG_ERROR, 1, "Could not retrieve PCI ID of NICs.\n");
        return Candidate::PCI_ID_FAILURE;
    }
    nic.venid = venid;
    nic.devid = devid;
    nic.subvenid = subvenid;
    nic.subdevid = subdevid;
    nic.macaddress = probed.address.hwaddr;

    FirmwareCatalogEntry entry;
    std::string key = pci_identity_key(venid, devid, subvenid, subdevid);
    if (read_NIC_FW_xml_file(key.c_str(), &entry) != CATALOG_FOUND) {
        nic = NicInfo{};  // the next candidate takes this record
        return Candidate::SKIPPED;
    }
    nic.product_id = entry.name;
    nic.fw_file = entry.fwFile;
    return Candidate::KEPT;
}

void remove_tool_output_files()
{
    for (const char* file : {TMP_DATA_CUR, TMP_DATA_IMG, TMP_DATA_TMP})
        unlink(file);
}

// An interrupted inventory is no inventory: nothing of it may be judged,
// shown or reported.
int stop_interrupted()
{
    g_nDazedNICs = 0;
    remove_tool_output_files();
    return FWUPG_ERR;
}

// The specified listing command; its output file is removed first, so that
// a redirection that fails cannot leave an earlier list to be read.
bool list_adapters()
{
    unlink(TMP_DATA_CUR);
    if (interrupted())
        return false;
    // Its status is the last grep's: 0 with lines, 1 without, more on error.
    int rc = do_command(cmd_list_adapters());
    if (interrupted())
        return false;
    struct stat st {};
    if (rc > 1 || stat(TMP_DATA_CUR, &st) != 0 || !S_ISREG(st.st_mode)) {
        log_event_f(LOG_ERROR, 1, "Could not write the flash tool's adapter list to %s.\n", TMP_DATA_CUR);
        return false;
    }
    return true;
}

// Takes the records left out of the table, keeping the others packed in
// their order with zero records behind them.
void drop_left_out(const std::vector<bool>& left_out)
{
    std::vector<NicInfo> kept;
    for (size_t i = 0; i < left_out.size(); ++i) {
        if (!left_out[i])
            kept.push_back(std::move(g_ninfo[i]));
    }
    g_nLeftOutNICs = g_nDazedNICs - static_cast<int32_t>(kept.size());
    g_nDazedNICs = static_cast<int32_t>(kept.size());
    kept.resize(g_ninfo.size());
    g_ninfo = std::move(kept);
}

// On the console too, where the mode shows anything: the exit status alone
// does not tell the operator that an adapter was passed over.
void say_left_out()
{
    if (g_nLeftOutNICs == 1)
        log_event_f(LOG_ERROR, 1, "1 adapter was found and left out; %s names it and says why.\n", g_EventLogName);
    else
        log_event_f(LOG_ERROR, 1, "%d adapters were found and left out; %s names each and says why.\n",
                    g_nLeftOutNICs, g_EventLogName);
}

} // namespace

int build_NIC_list()
{
    g_nDazedNICs = 0;
    g_nLeftOutNICs = 0;
    // Checked first: without the tool no mode can do anything, whatever
    // interfaces this host has.
    if (check_flash_tool() != FWUPG_OK)
        return FWUPG_ERR;

    char** names = nullptr;
    int count = 0;
    get_interface_list(&names, "eth", &count);
    std::unique_ptr<char*, FreeDeleter> name_block(names);
    g_nNics = count;
    if (g_nNics <= 0) {
        g_nNics = 0;
        log_event_f(LOG_ERROR, 1, "No supported adapters found\n");
        return FWUPG_ERR;
    }

    // A tool that failed, a list that could not be written or a catalog that
    // cannot be read would all look like "no adapters".
    if (check_flash_tool_lists() != FWUPG_OK || !list_adapters())
        return interrupted() ? stop_interrupted() : FWUPG_ERR;
    if (load_firmware_catalog() != FWUPG_OK) {
        remove_tool_output_files();
        return FWUPG_ERR;
    }
    g_ninfo.assign(static_cast<size_t>(g_nNics), NicInfo{});

    int next_free = 0;
    for (int i = 0; i < g_nNics; ++i) {
        if (interrupted())
            return stop_interrupted();
        switch (probe_candidate(names[i], next_free)) {
        case Candidate::KEPT:
            ++next_free;
            break;
        case Candidate::SKIPPED:
            break;
        case Candidate::PCI_ID_FAILURE:
            return FWUPG_ERR;
        }
    }
    if (interrupted())
        return stop_interrupted();
    g_nDazedNICs = next_free;

    std::vector<bool> left_out(static_cast<size_t>(g_nDazedNICs), false);
    ProgressLine progress;  // a terminal sees the run go on, erased before anything else shows
    for (int i = 0; i < g_nDazedNICs; ++i) {
        progress.show(format_text("Reading adapter %d of %d ...", i + 1, g_nDazedNICs));
        switch (read_adapter_versions(i)) {
        case AdapterVersions::COMPLETE:
            break;
        case AdapterVersions::LEFT_OUT:
            left_out[static_cast<size_t>(i)] = true;
            break;
        case AdapterVersions::INTERRUPTED:
            return stop_interrupted();
        }
    }
    drop_left_out(left_out);

    remove_tool_output_files();
    // There are adapters; saying "No supported adapters found" would be untrue.
    if (g_nDazedNICs == 0 && g_nLeftOutNICs != 0) {
        say_left_out();
        return FWUPG_ERR;
    }
    return FWUPG_OK;
}

int left_out_result(int result)
{
    if (g_nLeftOutNICs == 0)
        return result;
    say_left_out();
    return result == FWUPG_OK ? FWUPG_ERR : result;
}
