// The inputs that the limits are there for: a hostile 4 MiB report and the
// largest catalog the limits admit, each timed from the file to the answer.
#include "limits.h"

#include "timing.h"

#include "catalog/fw_catalog.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "support/sim_package.h"
#include "support/test_support.h"
#include "update/directed_update.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace bench {

namespace {

const char kReport[] = "hostile.xml";

// The inputs are written piece by piece, so that the peak memory is the
// reading's, not the writing's.

// One element with as many attributes as 4 MiB hold: the quadratic case.
void write_attribute_bomb(std::ofstream& out)
{
    size_t size = 0;
    out << "<velor_rom_discovery";
    for (int i = 0; size < REPORT_MAX_BYTES - 32; ++i) {
        const std::string attribute = " a" + std::to_string(i) + "=\"\"";
        out << attribute;
        size += attribute.size();
    }
    out << "/>\n";
}

// The most the limits let through: every element as deep and with as many
// attributes as allowed, up to the element limit and within 4 MiB.
void write_widest_report(std::ofstream& out)
{
    const int levels = REPORT_MAX_DEPTH - 1;
    const size_t groups = (REPORT_MAX_ELEMENTS - 1) / static_cast<size_t>(levels);
    const size_t value = (REPORT_MAX_BYTES - 64) / (groups * levels * REPORT_MAX_ATTRIBUTES) - 8;
    std::string start = "<n";
    for (int a = 0; a < REPORT_MAX_ATTRIBUTES; ++a)
        start += " a" + std::to_string(a) + "=\"" + std::string(value, 'v') + "\"";
    start += ">";
    std::string group;
    for (int l = 0; l < levels; ++l)
        group += start;
    for (int l = 0; l < levels; ++l)
        group += "</n>";
    out << "<velor_rom_discovery>";
    for (size_t g = 0, size = 0; g < groups && size + group.size() < REPORT_MAX_BYTES - 64; ++g, size += group.size())
        out << group;
    out << "</velor_rom_discovery>\n";
}

// As many entries as the element limit admits, names padded so that the
// file just fits the size limit; gives the last entry, which is looked up.
testing_support::CatalogEntryText write_largest_catalog(std::ofstream& out)
{
    const size_t entries = CATALOG_MAX_ELEMENTS - 1;  // and the root
    const size_t budget = (CATALOG_MAX_BYTES - 128) / entries;
    testing_support::CatalogEntryText e;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NICFWData>\n";
    for (size_t k = 0; k < entries; ++k) {
        e = {"Bench Adapter " + std::to_string(k), "DA2E",
             testing_support::hex4(0x1000 + static_cast<uint32_t>(k / 4096)), "DA2E",
             testing_support::hex4(static_cast<uint32_t>(k % 4096)), "bench-" + std::to_string(k) + ".bin"};
        const size_t plain = testing_support::catalog_element(e).size();
        e.name += std::string(budget > plain ? budget - plain : 0, 'x');
        out << testing_support::catalog_element(e);
    }
    out << "</NICFWData>\n";
    return e;
}

// A fresh event log for each run, so that a refusal can be quoted.
void open_log()
{
    if (dazed_fout != nullptr)
        fclose(dazed_fout);
    dazed_fout = fopen("bootutil.log", "w");
}

ScenarioResult timed(const Options& o, const std::function<bool()>& run, const std::string& read)
{
    ScenarioResult r;
    bool ok = false;
    std::vector<double> times = time_calls(o.repeats, [&] {
        open_log();
        ok = run();
    });
    r.program_ms = median(times);
    r.rss_kib = peak_rss_self_kib();
    const std::string logged = testing_support::read_file("bootutil.log");
    const std::string first = logged.substr(0, logged.find('\n'));
    r.commands = ok ? read : "refused: " + first.substr(first.find(':') + 1);
    r.outcome = Outcome::OK;
    return r;
}

} // namespace

ScenarioResult run_limits(const Scenario& s, const Options& o)
{
    testing_support::SimPackage pkg(o.simulator);
    if (chdir(pkg.path().c_str()) != 0) {
        ScenarioResult r;
        r.why = "cannot enter " + pkg.path();
        return r;
    }
    if (s.kind == ScenarioKind::LARGEST_CATALOG) {
        testing_support::CatalogEntryText last;
        {
            std::ofstream out(pkg.file("nic_fw/NICFWData.xml"), std::ios::binary | std::ios::trunc);
            last = write_largest_catalog(out);
        }
        const std::string key = last.venid + "-" + last.devid + "-" + last.subvenid + "-" + last.subdevid;
        return timed(o, [&] {
            FirmwareCatalogEntry entry;
            return load_firmware_catalog() == FWUPG_OK && read_NIC_FW_xml_file(key.c_str(), &entry) == CATALOG_FOUND &&
                   entry.fwFile == last.fw_file;
        }, "read; the last of " + std::to_string(CATALOG_MAX_ELEMENTS - 1) + " entries found");
    }
    {
        std::ofstream out(kReport, std::ios::binary | std::ios::trunc);
        if (s.size == 0)
            write_attribute_bomb(out);
        else
            write_widest_report(out);
    }
    copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, kReport);
    return timed(o, [] {
        int count = 0;
        return load_discovery_report(count) == FWUPG_OK;
    }, "read");
}

} // namespace bench
