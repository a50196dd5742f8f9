// Argument normalisation and option parsing, without running a mode.
// The input is the command line after the program name, split at NUL bytes.
#include "fuzz_support.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "run/arguments.h"
#include "run/run_control.h"

#include <getopt.h>

#include <cstring>
#include <string>
#include <vector>

using fuzz_support::require;

namespace {

// One more than the command line may carry, so that its refusal is reached.
constexpr size_t kMaxArguments = 5;

constexpr uint32_t kOptionBits =
    RUN_SHOW_CURRENT | RUN_SILENT | RUN_FORCE | RUN_DISCOVERY | RUN_USE_XML | RUN_DOWNGRADE | RUN_REWRITE;

// Each argument in a buffer of its exact size: a write past it is caught.
std::vector<std::vector<char>> split_arguments(const uint8_t* data, size_t size)
{
    std::vector<std::vector<char>> args;
    args.push_back(fuzz_support::terminated_text(reinterpret_cast<const uint8_t*>("dazed-fug"), 9));
    if (size == 0)
        return args;
    const uint8_t* start = data;
    const uint8_t* end = data + size;
    while (args.size() <= kMaxArguments) {
        const uint8_t* nul = static_cast<const uint8_t*>(memchr(start, '\0', static_cast<size_t>(end - start)));
        const uint8_t* stop = nul != nullptr ? nul : end;
        args.push_back(fuzz_support::terminated_text(start, static_cast<size_t>(stop - start)));
        if (nul == nullptr)
            break;
        start = nul + 1;
    }
    return args;
}

// The command line as the parser should see it: ASCII lowercase, "?" as "h".
std::string normalised(std::string arg)
{
    for (char& c : arg) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '?')
            c = 'h';
    }
    return arg;
}

// What verify_cmd_line_options must have done with the original texts.
void check_normalisation(const std::vector<std::string>& original, char* const* argv, int verified)
{
    const size_t given = original.size() - 1;
    std::string first = given > 0 ? original[1] : "";
    if (given <= 2 && (first == "/d" || first == "/u"))
        first[0] = '-';
    const bool takes_path = given == 1 || given == 2;
    const bool refused = given >= 4 ||
                         (takes_path && (first.find('-') == std::string::npos || first.size() <= 1)) ||
                         (given == 2 && original[2].size() >= XML_REPORT_PATH_SIZE);
    require(verified == (refused ? FWUPG_ERR : FWUPG_OK), "refused exactly when it must be");
    if (refused)
        return;
    for (size_t i = 1; i <= given; ++i) {
        const std::string& typed = i == 1 && given <= 2 ? first : original[i];
        require(normalised(typed) == argv[i], "argument lowercased in place");
    }
    const std::string report = given == 1 ? "nicdiscovery.xml" : given == 2 ? original[2] : "";
    require(report == g_XMLDiscoveryReport, "report path taken by position, as typed");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_support::mute_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::vector<char>> args = split_arguments(data, size);
    std::vector<char*> argv;
    for (std::vector<char>& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    g_iFlag = 0;
    g_XMLDiscoveryReport[0] = '\0';
    opterr = 0;

    std::vector<std::string> original;
    for (const std::vector<char>& arg : args)
        original.emplace_back(arg.data());
    int verified = verify_cmd_line_options(argc, argv.data());
    require(memchr(g_XMLDiscoveryReport, '\0', sizeof g_XMLDiscoveryReport) != nullptr,
            "report path terminated within its buffer");
    require(strcmp(argv[0], "dazed-fug") == 0, "program name unchanged");
    check_normalisation(original, argv.data(), verified);
    if (verified != FWUPG_OK)
        return 0;

    int parsed = parse_options(argc, argv.data());
    require(parsed == OPTIONS_PARSED || parsed == FWUPG_OK || parsed == FWUPG_ERR, "parse outcome");
    require((g_iFlag & ~kOptionBits) == 0, "parsing sets option bits only");
    if (parsed == OPTIONS_PARSED)
        select_mode(g_iFlag);
    return 0;
}
