#pragma once

#include <string>
#include <vector>

namespace bench {

// CATALOG_COMPARE: the same inventory against a large and a small catalog,
// run in alternation so that the machine's drift falls on both alike.
// HOSTILE_REPORT and LARGEST_CATALOG: the inputs that the limits bound.
enum class ScenarioKind {
    INVENTORY, CATALOG, CATALOG_READ, CATALOG_COMPARE, DISCOVERY, HOSTILE_REPORT, LARGEST_CATALOG
};

struct Scenario {
    std::string name;   // on the command line
    std::string label;  // in the table
    ScenarioKind kind;
    int size;           // adapters, or catalog entries
    bool last_entry;    // catalog: look up the last entry rather than the first
    bool quick;         // part of --quick
    int models = 0;     // inventory: board models among the adapters (0: one each)
    int catalog = 0;    // compare: entries of the large catalog, the models last;
                        // inventory: entries of its catalog (0: one per adapter)
};

const std::vector<Scenario>& all_scenarios();
const Scenario* find_scenario(const std::string& name);

struct Options {
    std::string simulator;
    int repeats = 3;
    bool quick = false;
};

enum class Outcome { OK, FAILED };

struct ScenarioResult {
    Outcome outcome = Outcome::FAILED;
    std::string why;              // when FAILED
    double program_ms = 0;        // median
    double script_ms = 0;         // median
    std::string commands;         // what the plain script runs
    long rss_kib = 0;             // the program's process
    long children_rss_kib = 0;    // the largest command the program ran
};

// Runs one scenario in this process; call it in a fresh process so that the
// peak memory figures are the scenario's own.
ScenarioResult run_scenario(const Scenario& scenario, const Options& options);

// One line for the parent, and back.
std::string encode_result(const ScenarioResult& result);
bool decode_result(const std::string& line, ScenarioResult* result);

} // namespace bench
