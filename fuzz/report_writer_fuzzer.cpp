// Discovery report writer: records made of the input are written over an
// earlier report. The file is either replaced whole by a report that reads
// back with one device per adapter, or left exactly as it was; no temporary
// file is ever left beside it.
#include "fuzz_support.h"
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "report/discovery_report.h"
#include "support/test_support.h"
#include "update/directed_update.h"

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

using fuzz_support::require;

namespace {

const char kEarlier[] = "an earlier report\n";

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

size_t entries(const std::string& dir)
{
    size_t n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.');
        closedir(d);
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_support::mute_stdout();
    fuzz_support::use_scratch_report();
    return 0;
}

// The input: texts separated by 0x01, taken seven at a time as an
// adapter's interface name, MAC address, product name, bus location, slot,
// and installed and available version.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> texts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01)
            texts.emplace_back();
        else
            texts.back().push_back(static_cast<char>(data[i]));
    }
    g_ninfo.assign((texts.size() + 6) / 7, NicInfo{});
    for (size_t i = 0; i < texts.size(); ++i) {
        NicInfo& nic = g_ninfo[i / 7];
        nic.flags = NIC_HAS_ROM;
        const std::string& t = texts[i];
        switch (i % 7) {
        case 0: nic.device_id = t; break;
        case 1: nic.macaddress = t; break;
        case 2: nic.product_id = t; break;
        case 3: nic.bus_location = t; break;
        case 4: nic.slotnumber = t; break;
        case 5: nic.cur_version = {static_cast<uint32_t>(t.size()), 0xFFFFFFFFu, 7}; break;
        case 6: nic.img_version = {static_cast<uint32_t>(t.size() * 31), 0, 0}; break;
        }
    }
    g_nNics = g_nDazedNICs = static_cast<int32_t>(g_ninfo.size());
    const size_t adapters = g_ninfo.size();

    testing_support::write_file(g_XMLDiscoveryReport, kEarlier);
    int result = xml_discovery_report();
    require(result == FWUPG_OK || result == FWUPG_ERR, "writer gives 0 or 6");
    require(entries(fuzz_support::scratch_dir()) == 1, "nothing but the report beside it");
    if (result == FWUPG_ERR) {
        require(read_all(g_XMLDiscoveryReport) == kEarlier, "a failed write leaves the earlier report");
        return 0;
    }
    int count = -1;
    g_ninfo.clear();
    require(load_discovery_report(count) == FWUPG_OK, "a written report reads back");
    require(static_cast<size_t>(count) == adapters, "one device per adapter");
    g_nNics = g_nDazedNICs = 0;
    return 0;
}
