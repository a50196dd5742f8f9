// Every command line that the inventory and both update modes compose, for
// any output of the flash tool, any catalog image name and any report: the
// shell is replaced by a recorder (the host seam's command hook), which
// answers each command with the next piece of the input and checks the line
// against the forms the program may give.
#include "fuzz_support.h"
#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/host_seam.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/fake_host.h"
#include "support/sim_package.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"
#include "update/directed_update.h"
#include "update/fw_upgrade.h"

#include <sys/stat.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

using fuzz_support::require;

namespace {

// An adapter number is never cut, empty or made up: one to nine digits.
const char* const kAllowedForms[] = {
    R"(\(\./bootutil -E > /dev/null\)\n)",
    R"(\(\./bootutil -E  \| grep NIC \| grep MACAddress > data_cur\.dat\)\n)",
    R"(\(\./bootutil -E  \| grep NIC \| grep MACAddress \| grep [0-9A-Fa-f]{12}> data_tmp\.dat\)\n)",
    R"(\(\./bootutil -iv -QUIET -FILE=\./nic_fw/[A-Za-z0-9._+/-]+ > data_img\.dat\)\n)",
    R"(\(\./bootutil -iv -QUIET -FILE=\./nic_fw/[A-Za-z0-9._+/-]+ -NIC=[0-9]{1,9} > data_img\.dat\)\n)",
    R"(\(\./bootutil -iv -QUIET -NIC=[0-9]{1,9} > data_img\.dat\)\n)",
    R"(\(\./bootutil -NIC=[0-9]{1,9} -up=pxe\+clp\+ocd -QUIET -FILE=\./nic_fw/[A-Za-z0-9._+/-]+ > out\.txt 2>&1\)\n)",
    R"(\(cat data_(img|cur)\.dat \| grep ("Combo Image Version Name"|"OCD Option ROM"|"PXE       v"|"Setup     v"|"OCD       v"|[0-9A-Fa-f]{12}) > data_tmp\.dat\)\n)",
    R"(\(cat data_cur\.dat \| grep -c [0-9A-Fa-f]{12} > data_tmp\.dat\)\n)",
    R"(grep -i "PSID Mismatch" out\.txt > /dev/null 2>&1)",
};

const char* const kOutputFiles[] = {"data_cur.dat", "data_tmp.dat", "data_img.dat", "out.txt"};

std::vector<std::regex>& allowed()
{
    static std::vector<std::regex> forms = [] {
        std::vector<std::regex> out;
        for (const char* form : kAllowedForms)
            out.emplace_back(form);
        return out;
    }();
    return forms;
}

// The pieces of the current input, handed out one per command.
std::vector<std::string> g_pieces;
size_t g_next = 0;

std::string next_piece()
{
    return g_next < g_pieces.size() ? g_pieces[g_next++] : std::string();
}

int record_command(const char* command)
{
    require(command != nullptr, "a command line");
    bool ok = false;
    for (const std::regex& form : allowed())
        ok = ok || std::regex_match(command, form);
    if (!ok)
        fprintf(stderr, "command line: [%s]\n", command);
    require(ok, "every command line has an allowed form");

    // The tool's (or grep's) answer goes where the line redirects it.
    const std::string output = next_piece();
    for (const char* file : kOutputFiles) {
        if (strstr(command, (std::string("> ") + file).c_str()) != nullptr)
            testing_support::write_file(file, output);
    }
    return output.empty() ? 0 : static_cast<unsigned char>(output[0]) % 3;
}

int record_any_command(const char* command, bool, const std::function<void()>&)
{
    return record_command(command);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_support::mute_stdout();
    const std::string& dir = fuzz_support::scratch_dir();
    mkdir((dir + "/nic_fw").c_str(), 0700);
    testing_support::ScopedCwd in(dir);
    testing_support::write_file(g_fwupg, "");
    chmod(g_fwupg, 0700);
    allowed();
    return 0;
}

// The input: a mode byte, then pieces separated by 0x01: the catalog's image
// name, for -u the report, then the answers to the commands in turn.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    testing_support::ScopedCwd in(fuzz_support::scratch_dir());
    const bool directed = data[0] & 1;
    g_pieces.assign(1, "");
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0x01)
            g_pieces.emplace_back();
        else
            g_pieces.back().push_back(static_cast<char>(data[i]));
    }
    g_next = 0;
    const std::string image = next_piece();
    testing_support::write_file(g_XMLFwFile, "<NICFWData><NIC name=\"A\" venid=\"8086\" devid=\"10C9\" subvenid=\"8086\" "
                            "subdevid=\"A02C\" fwFile=\"" + testing_support::xml_attribute(image) + "\"/></NICFWData>\n");

    g_ninfo.clear();
    g_nNics = g_nDazedNICs = 0;
    testing_support::ScopedHostSeam seam;
    seam->run_command = record_any_command;
    int result;
    if (directed) {
        g_iFlag = RUN_USE_XML | RUN_SILENT;
        require(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, "report.xml"), "report path");
        testing_support::write_file("report.xml", next_piece());
        result = read_discovery_report();
    } else {
        g_iFlag = RUN_SILENT | RUN_FORCE;
        testing_support::FakeHost host({testing_support::pci_nic("eth0", "0000:03:00.0", "001B21000001"),
                                        testing_support::pci_nic("eth1", "0000:04:00.0", "001B21000002")});
        result = fw_upgrade();
    }
    require(result == FWUPG_OK || result == FWUPG_QUIT || result == FWUPG_ERR, "a mode's result");
    return 0;
}
