// Version parser over a terminated text.
#include "tool/tool_output.h"

#include "fuzz_support.h"
#include "lib/return_codes.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text = fuzz_support::terminated_text(data, size);
    uint32_t major = 7, minor = 7, build = 7;
    require(parseversions(text.data(), &major, &minor, &build) == FWUPG_OK, "a text gives 0");

    // One character, at most three and at most four: the values stay in
    // what those widths can hold.
    require(major <= 9, "major from one character");
    const auto minor_value = static_cast<int32_t>(minor);
    const auto build_value = static_cast<int32_t>(build);
    require(minor_value >= -99 && minor_value <= 999, "minor from three characters");
    require(build_value >= -999 && build_value <= 9999, "build from four characters");
    if (strchr(text.data(), '.') == nullptr)
        require(major == 0 && minor == 0 && build == 0, "no dot gives 0.0.0");

    // A text that reads whole is read as exactly the numbers it spells.
    if (version_reads_whole(text.data())) {
        char* end = text.data() + (text[0] == 'v' ? 1 : 0);
        const unsigned long parts[] = {strtoul(end, &end, 10), strtoul(end + 1, &end, 10), strtoul(end + 1, &end, 10)};
        require(*end == '\0' && parts[0] == major && parts[1] == minor && parts[2] == build, "a whole version as written");
    }
    return 0;
}
