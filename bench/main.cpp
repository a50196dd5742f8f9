// dazed-bench: times the inventory, the catalog lookup and -d against the
// flash-tool simulator, each beside a plain sh script that runs the same
// command lines, and prints a Markdown table.
#include "scenarios.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace bench;

namespace {

void usage(FILE* out)
{
    fprintf(out,
            "usage: dazed-bench [--quick] [--repeat N] [--sim PATH] [SCENARIO...]\n"
            "       dazed-bench --list\n"
            "  --quick     the smallest scenarios once each (a smoke check)\n"
            "  --repeat N  runs per figure, the median is shown (default 3)\n"
            "  --sim PATH  the flash-tool simulator (default: the one built with this program)\n");
}

std::string self_path()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n < 0)
        return "";
    path[n] = '\0';
    return path;
}

// Runs the scenario in a fresh process of this program and reads its result.
ScenarioResult run_in_child(const Scenario& s, const Options& o)
{
    ScenarioResult r;
    r.why = "the scenario process failed";
    int fds[2];
    if (pipe(fds) != 0)
        return r;
    std::string self = self_path();
    std::string repeats = std::to_string(o.repeats);
    pid_t child = fork();
    if (child < 0)
        return r;
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<const char*> argv = {self.c_str(), "--scenario", s.name.c_str(), "--repeat", repeats.c_str(),
                                         "--sim", o.simulator.c_str()};
        if (o.quick)
            argv.push_back("--quick");
        argv.push_back(nullptr);
        execv(self.c_str(), const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        output.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    size_t at = output.rfind("RESULT ");
    if (at == std::string::npos || !decode_result(output.substr(at, output.find('\n', at) - at), &r))
        r.why = "the scenario process ended without a result (status " + std::to_string(status) + ")";
    return r;
}

std::string cpu_model()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos)
            return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

std::string ms(double value)
{
    char text[32];
    if (value < 0.1)
        snprintf(text, sizeof text, "%.2f µs", value * 1000);
    else
        snprintf(text, sizeof text, value < 10 ? "%.3f ms" : "%.1f ms", value);
    return text;
}

std::string kib(long value)
{
    return value > 0 ? std::to_string(value) + " KiB" : "-";
}

void print_row(const Scenario& s, const ScenarioResult& r)
{
    if (r.outcome == Outcome::FAILED) {
        printf("| %s | failed: %s | | | | | |\n", s.label.c_str(), r.why.c_str());
        return;
    }
    if (r.script_ms <= 0) {  // no plain-sh counterpart
        printf("| %s | %s | - | - | %s | %s | - |\n", s.label.c_str(), ms(r.program_ms).c_str(), r.commands.c_str(),
               kib(r.rss_kib).c_str());
    } else {
        printf("| %s | %s | %s | %.2f | %s | %s | %s |\n", s.label.c_str(), ms(r.program_ms).c_str(),
               ms(r.script_ms).c_str(), r.program_ms / r.script_ms, r.commands.c_str(), kib(r.rss_kib).c_str(),
               kib(r.children_rss_kib).c_str());
    }
    fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
#ifdef BOOTUTIL_SIM_BINARY
    options.simulator = BOOTUTIL_SIM_BINARY;
#endif
    std::string only;
    std::vector<const Scenario*> selected;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quick") {
            options.quick = true;
        } else if (a == "--repeat" && i + 1 < argc) {
            options.repeats = atoi(argv[++i]);
        } else if (a == "--sim" && i + 1 < argc) {
            options.simulator = argv[++i];
        } else if (a == "--scenario" && i + 1 < argc) {
            only = argv[++i];
        } else if (a == "--list") {
            for (const Scenario& s : all_scenarios())
                printf("%s\n", s.name.c_str());
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (const Scenario* s = find_scenario(a)) {
            selected.push_back(s);
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (options.repeats < 1) {
        usage(stderr);
        return 2;
    }
    // The simulator would otherwise follow these to another state file.
    unsetenv("BOOTUTIL_SIM_STATE");
    unsetenv("BOOTUTIL_SIM_LOG");

    if (!only.empty()) {
        const Scenario* s = find_scenario(only);
        if (s == nullptr)
            return 2;
        printf("%s\n", encode_result(run_scenario(*s, options)).c_str());
        return 0;
    }

    if (options.simulator.empty() || access(options.simulator.c_str(), X_OK) != 0) {
        fprintf(stderr, "dazed-bench: no flash-tool simulator at \"%s\" (give --sim PATH)\n",
                options.simulator.c_str());
        return 2;
    }
    if (options.quick)
        options.repeats = 1;
    if (selected.empty()) {
        for (const Scenario& s : all_scenarios()) {
            if (s.quick || !options.quick)
                selected.push_back(&s);
        }
    }

    char date[32];
    time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d", localtime(&now));
    printf("Machine: %ld cores, %s; %s; median of %d runs.\n\n", sysconf(_SC_NPROCESSORS_ONLN), cpu_model().c_str(),
           date, options.repeats);
    printf("| Scenario | Program | Plain sh | Ratio | Shell commands | Peak RSS | Peak RSS of a command |\n");
    printf("|---|---:|---:|---:|---:|---:|---:|\n");
    fflush(stdout);
    bool all_ok = true;
    for (const Scenario* s : selected) {
        ScenarioResult r = run_in_child(*s, options);
        print_row(*s, r);
        all_ok = all_ok && r.outcome == Outcome::OK;
    }
    return all_ok ? 0 : 1;
}
