#include "scenarios.h"

#include "command_record.h"
#include "limits.h"
#include "scripted_host.h"
#include "timing.h"

#include "catalog/fw_catalog.h"
#include "inventory/nic_info.h"
#include "inventory/nic_list.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "report/discovery_report.h"
#include "support/sim_package.h"
#include "tool/flash_tool.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>

namespace bench {

using testing_support::SimPackage;

namespace {

// The package of a scenario: the simulator with the adapters in its state,
// and one image per board model.
std::unique_ptr<SimPackage> bench_package(const std::string& simulator, const std::vector<BenchAdapter>& adapters)
{
    auto pkg = std::make_unique<SimPackage>(simulator);
    std::string state = "# benchmark host\n";
    for (const BenchAdapter& a : adapters) {
        state += "adapter nic=" + std::to_string(a.nic_number) + " mac=" + a.mac + " psid=BENCH-" +
                 std::to_string(a.nic_number) + " combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n";
    }
    for (const BenchAdapter& a : adapters) {
        if (testing_support::file_exists(pkg->file("nic_fw/" + a.image)))
            continue;
        state += "image file=" + a.image + " psid=BENCH-" + std::to_string(a.nic_number) +
                 " combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n";
        pkg->add_image_file(a.image);
    }
    pkg->write_state(state);
    return pkg;
}

// A catalog of the models 0 to entries - 1, or from the last to the first
// (so that the low models stand at the end).
void write_bench_catalog(SimPackage& pkg, int entries, bool last_first = false)
{
    pkg.write_catalog(static_cast<size_t>(entries), [&](size_t i) {
        const BenchAdapter a = make_adapter(last_first ? entries - 1 - static_cast<int>(i) : static_cast<int>(i));
        return testing_support::CatalogEntryText{"Bench Adapter " + std::to_string(a.nic_number),
                                                 testing_support::hex4(a.venid), testing_support::hex4(a.devid),
                                                 testing_support::hex4(a.subvenid),
                                                 testing_support::hex4(a.subdevid), a.image};
    });
}

size_t count_lines(const std::string& path)
{
    return testing_support::split_lines(testing_support::read_file(path)).size();
}

const char kScript[] = "bench.sh";
const char kReport[] = "nicdiscovery.xml";
const char kToolLog[] = "bootutil-sim.log";

ScenarioResult failed(const std::string& why)
{
    ScenarioResult r;
    r.outcome = Outcome::FAILED;
    r.why = why;
    return r;
}

size_t count_occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// What one inventory run must have produced, or why not.
std::string check_inventory(const std::vector<BenchAdapter>& adapters, bool discovery)
{
    int n = static_cast<int>(adapters.size());
    if (g_nDazedNICs != n)
        return "kept " + std::to_string(g_nDazedNICs) + " of " + std::to_string(n) + " adapters";
    for (int k = 0; k < n; ++k) {
        const NicInfo& nic = g_ninfo[static_cast<size_t>(k)];
        // Names sort as text (eth0, eth1, eth10, ...), so match by MAC.
        const BenchAdapter* a = nullptr;
        for (const BenchAdapter& candidate : adapters) {
            if (candidate.mac == nic.macaddress)
                a = &candidate;
        }
        if (a == nullptr || nic.nic_number != a->nic_number || nic.cur_version.minor != 2 ||
            nic.img_version.build != 21)
            return "record " + std::to_string(k) + " (" + nic.device_id + ") was read wrongly";
    }
    if (discovery && count_occurrences(testing_support::read_file(kReport), "<device>") != adapters.size())
        return "the report does not list every adapter";
    return "";
}

void remove_outputs()
{
    for (const char* file : {TMP_DATA_CUR, TMP_DATA_IMG, TMP_DATA_TMP, kReport})
        unlink(file);
}

ScenarioResult run_inventory(const Scenario& s, const Options& o)
{
    bool discovery = s.kind == ScenarioKind::DISCOVERY;
    std::vector<BenchAdapter> adapters = make_adapters(s.size);
    std::unique_ptr<SimPackage> pkg = bench_package(o.simulator, adapters);
    write_bench_catalog(*pkg, s.catalog > 0 ? s.catalog : s.size);
    if (chdir(pkg->path().c_str()) != 0)
        return failed("cannot enter " + pkg->path());
    install_scripted_host(adapters);
    dazed_fout = fopen("bootutil.log", "w");
    g_iFlag = discovery ? RUN_DISCOVERY : RUN_SILENT;  // keeps the console out of the result
    copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, kReport);
    auto run = [discovery] { return discovery ? discover_HW() : build_NIC_list(); };

    // One recorded run gives the command lines and is checked; the timed
    // runs that follow do the same work.
    size_t tool_calls_before = count_lines(kToolLog);
    start_recording();
    int rc = run();
    std::vector<std::string> lines = stop_recording();
    size_t tool_calls = count_lines(kToolLog) - tool_calls_before;
    if (rc != FWUPG_OK)
        return failed("returned " + std::to_string(rc));
    std::string wrong = check_inventory(adapters, discovery);
    if (!wrong.empty())
        return failed(wrong);

    ScenarioResult r;
    bool all_ok = true;
    std::vector<double> program = time_calls(o.repeats, [&] { all_ok = run() == FWUPG_OK && all_ok; });
    if (!all_ok)
        return failed("a timed run failed");
    r.program_ms = median(program);
    r.rss_kib = peak_rss_self_kib();
    r.children_rss_kib = peak_rss_children_kib();

    testing_support::write_file(kScript, plain_script(lines));
    std::vector<double> script;
    for (int i = 0; i < o.repeats; ++i) {
        remove_outputs();
        tool_calls_before = count_lines(kToolLog);
        double ms = time_script(kScript);
        if (ms < 0)
            return failed("the plain script did not end normally");
        if (count_lines(kToolLog) - tool_calls_before != tool_calls)
            return failed("the plain script ran the tool a different number of times");
        script.push_back(ms);
    }
    r.script_ms = median(script);
    r.commands = std::to_string(lines.size());
    r.outcome = Outcome::OK;
    return r;
}

// Program: the inventory with the large catalog; Plain sh: the same with a
// catalog of just the models. The two runs alternate.
ScenarioResult run_catalog_compare(const Scenario& s, const Options& o)
{
    std::vector<BenchAdapter> adapters = make_adapters(s.size, s.models);
    std::unique_ptr<SimPackage> large = bench_package(o.simulator, adapters);
    std::unique_ptr<SimPackage> small = bench_package(o.simulator, adapters);
    write_bench_catalog(*large, s.catalog, true);
    write_bench_catalog(*small, s.models, true);
    install_scripted_host(adapters);
    g_iFlag = RUN_SILENT;

    std::vector<double> with_large, with_small, cpu_large, cpu_small;
    for (int i = 0; i < o.repeats; ++i) {
        // Each goes first in every other pair.
        const SimPackage* order[] = {i % 2 == 0 ? large.get() : small.get(), i % 2 == 0 ? small.get() : large.get()};
        for (const SimPackage* dir : order) {
            if (chdir(dir->path().c_str()) != 0)
                return failed("cannot enter " + dir->path());
            if (dazed_fout != nullptr)
                fclose(dazed_fout);
            dazed_fout = fopen("bootutil.log", "w");
            int rc = FWUPG_ERR;
            const double cpu_before = own_cpu_ms();
            double ms = time_calls(1, [&] { rc = build_NIC_list(); }).front();
            (dir == large.get() ? cpu_large : cpu_small).push_back(own_cpu_ms() - cpu_before);
            if (rc != FWUPG_OK)
                return failed("returned " + std::to_string(rc));
            std::string wrong = check_inventory(adapters, false);
            if (!wrong.empty())
                return failed(wrong);
            (dir == large.get() ? with_large : with_small).push_back(ms);
        }
    }
    ScenarioResult r;
    r.program_ms = median(with_large);
    r.script_ms = median(with_small);
    r.rss_kib = peak_rss_self_kib();
    r.children_rss_kib = peak_rss_children_kib();
    // The program's own CPU time tells the catalog's share apart from the
    // machine's noise, which the commands' wall time carries.
    char cpu[96];
    snprintf(cpu, sizeof cpu, "paired runs; own CPU %.0f ms against %.0f ms", median(cpu_large), median(cpu_small));
    r.commands = cpu;
    r.outcome = Outcome::OK;
    return r;
}

ScenarioResult run_catalog(const Scenario& s, const Options& o)
{
    SimPackage pkg(o.simulator);
    write_bench_catalog(pkg, s.size);
    if (chdir(pkg.path().c_str()) != 0)
        return failed("cannot enter " + pkg.path());
    dazed_fout = fopen("bootutil.log", "w");
    g_iFlag = RUN_SILENT;

    const BenchAdapter target = make_adapter(s.last_entry ? s.size - 1 : 0);
    std::string key = catalog_key(target);
    // A run reads the catalog once and answers every lookup from memory;
    // the read itself is timed as a scenario of its own.
    const bool read = s.kind == ScenarioKind::CATALOG_READ;
    if (load_firmware_catalog() != FWUPG_OK)
        return failed("the catalog could not be read");
    auto lookup = [&] {
        if (read && load_firmware_catalog() != FWUPG_OK)
            return false;
        FirmwareCatalogEntry entry;
        return read_NIC_FW_xml_file(key.c_str(), &entry) == CATALOG_FOUND && entry.fwFile == target.image;
    };
    if (!lookup())
        return failed("the lookup of " + key + " failed");

    // Enough single lookups for a stable median, within about a second.
    const int min_lookups = o.quick ? 3 : 5;
    const int max_lookups = o.quick ? 3 : 2000;
    std::vector<double> program;
    double start = now_ms();
    bool all_found = true;
    while (static_cast<int>(program.size()) < max_lookups &&
           (static_cast<int>(program.size()) < min_lookups || now_ms() - start < 1000)) {
        double t = now_ms();
        all_found = lookup() && all_found;
        program.push_back(now_ms() - t);
    }
    if (!all_found)
        return failed("a timed lookup failed");

    ScenarioResult r;
    r.program_ms = median(program);
    r.rss_kib = peak_rss_self_kib();
    r.children_rss_kib = peak_rss_children_kib();

    // The same lookup in plain shell: grep for the element's four ID
    // attributes, stopping at the first match as the lookup does.
    char ids[128];
    snprintf(ids, sizeof ids, "venid=\"%04X\" devid=\"%04X\" subvenid=\"%04X\" subdevid=\"%04X\"", target.venid,
             target.devid, target.subvenid, target.subdevid);
    std::string grep = std::string("grep -m 1 -F '") + ids + "' nic_fw/NICFWData.xml > /dev/null || exit 1\n";
    const int greps = o.quick ? 3 : 100;
    std::string script = "#!/bin/sh\n";
    for (int i = 0; i < greps; ++i)
        script += grep;
    testing_support::write_file(kScript, script);
    std::vector<double> per_lookup;
    for (int i = 0; i < o.repeats; ++i) {
        int code = -1;
        double ms = time_script(kScript, &code);
        if (ms < 0 || code != 0)
            return failed("the grep did not find the entry");
        per_lookup.push_back(ms / greps);
    }
    r.script_ms = median(per_lookup);
    r.commands = "1 grep";
    r.outcome = Outcome::OK;
    return r;
}

} // namespace

const std::vector<Scenario>& all_scenarios()
{
    static const std::vector<Scenario> scenarios = {
        {"inventory-1", "`build_NIC_list`, 1 adapter", ScenarioKind::INVENTORY, 1, false, true},
        {"inventory-8", "`build_NIC_list`, 8 adapters", ScenarioKind::INVENTORY, 8, false, false},
        {"inventory-32", "`build_NIC_list`, 32 adapters", ScenarioKind::INVENTORY, 32, false, false},
        {"inventory-128", "`build_NIC_list`, 128 adapters", ScenarioKind::INVENTORY, 128, false, false},
        {"catalog-10-first", "catalog lookup, 10 entries, first", ScenarioKind::CATALOG, 10, false, true},
        {"catalog-10-last", "catalog lookup, 10 entries, last", ScenarioKind::CATALOG, 10, true, true},
        {"catalog-1000-first", "catalog lookup, 1,000 entries, first", ScenarioKind::CATALOG, 1000, false, false},
        {"catalog-1000-last", "catalog lookup, 1,000 entries, last", ScenarioKind::CATALOG, 1000, true, false},
        {"catalog-10000-first", "catalog lookup, 10,000 entries, first", ScenarioKind::CATALOG, 10000, false, false},
        {"catalog-10000-last", "catalog lookup, 10,000 entries, last", ScenarioKind::CATALOG, 10000, true, false},
        {"catalog-10000-read", "catalog read and one lookup, 10,000 entries", ScenarioKind::CATALOG_READ, 10000, true,
         false},
        {"inventory-128-catalog-10000",
         "`build_NIC_list`, 128 adapters of 10 models, 10,000-entry catalog (Plain sh: the same with a 10-entry catalog)",
         ScenarioKind::CATALOG_COMPARE, 128, false, false, 10, 10000},
        {"inventory-1-catalog-10000", "`build_NIC_list`, 1 adapter, 10,000-entry catalog", ScenarioKind::INVENTORY, 1,
         false, false, 0, 10000},
        {"discovery-1", "`-d`, 1 adapter", ScenarioKind::DISCOVERY, 1, false, true},
        {"discovery-128", "`-d`, 128 adapters", ScenarioKind::DISCOVERY, 128, false, false},
        {"report-attribute-bomb", "`-u` report of 4 MiB, one element with every attribute that fits",
         ScenarioKind::HOSTILE_REPORT, 0, false, true},
        {"report-widest", "`-u` report of 4 MiB, the most elements, depth and attributes the limits admit",
         ScenarioKind::HOSTILE_REPORT, 1, false, false},
        {"catalog-largest", "catalog read and one lookup, the largest the limits admit",
         ScenarioKind::LARGEST_CATALOG, 0, false, false},
    };
    return scenarios;
}

const Scenario* find_scenario(const std::string& name)
{
    for (const Scenario& s : all_scenarios()) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

ScenarioResult run_scenario(const Scenario& scenario, const Options& options)
{
    try {
        if (scenario.kind == ScenarioKind::CATALOG || scenario.kind == ScenarioKind::CATALOG_READ)
            return run_catalog(scenario, options);
        if (scenario.kind == ScenarioKind::CATALOG_COMPARE)
            return run_catalog_compare(scenario, options);
        if (scenario.kind == ScenarioKind::HOSTILE_REPORT || scenario.kind == ScenarioKind::LARGEST_CATALOG)
            return run_limits(scenario, options);
        return run_inventory(scenario, options);
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

std::string encode_result(const ScenarioResult& r)
{
    const char* outcome = r.outcome == Outcome::OK ? "ok" : "failed";
    char numbers[256];
    snprintf(numbers, sizeof numbers, "%.6f %.6f %ld %ld", r.program_ms, r.script_ms, r.rss_kib,
             r.children_rss_kib);
    std::string commands = r.commands.empty() ? "-" : r.commands;
    // One word on the line: a unit separator stands for each blank.
    for (char& c : commands)
        c = c == ' ' ? '\x1f' : c;
    return std::string("RESULT ") + outcome + " " + numbers + " " + commands + " " + r.why;
}

bool decode_result(const std::string& line, ScenarioResult* r)
{
    std::istringstream in(line);
    std::string tag, outcome, commands;
    if (!(in >> tag >> outcome >> r->program_ms >> r->script_ms >> r->rss_kib >> r->children_rss_kib >> commands) ||
        tag != "RESULT")
        return false;
    r->outcome = outcome == "ok" ? Outcome::OK : Outcome::FAILED;
    for (char& c : commands)
        c = c == '\x1f' ? ' ' : c;
    r->commands = commands == "-" ? "" : commands;
    std::getline(in >> std::ws, r->why);
    return true;
}

} // namespace bench
