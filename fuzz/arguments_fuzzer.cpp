// Argument normalisation and option parsing, without running a mode.
// The input is the command line after the program name, split at NUL bytes.
#include "app/arguments.h"
#include "app/return_codes.h"
#include "app/run_control.h"
#include "app/run_flags.h"
#include "fuzz_support.h"

#include <getopt.h>

#include <cstring>
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

    int verified = verify_cmd_line_options(argc, argv.data());
    require(verified == FWUPG_OK || verified == FWUPG_ERR, "verify gives 0 or 6");
    require(memchr(g_XMLDiscoveryReport, '\0', sizeof g_XMLDiscoveryReport) != nullptr,
            "report path terminated within its buffer");
    require(strcmp(argv[0], "dazed-fug") == 0, "program name unchanged");
    if (verified != FWUPG_OK)
        return 0;

    int parsed = parse_options(argc, argv.data());
    require(parsed == OPTIONS_PARSED || parsed == FWUPG_OK || parsed == FWUPG_ERR, "parse outcome");
    require((g_iFlag & ~kOptionBits) == 0, "parsing sets option bits only");
    if (parsed == OPTIONS_PARSED)
        select_mode(g_iFlag);
    return 0;
}
