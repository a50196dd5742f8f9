// Hexadecimal reading of the report's ID texts.
#include "update/axtoi.h"

#include "fuzz_support.h"

#include <algorithm>
#include <vector>

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text = fuzz_support::terminated_text(data, size);
    int value = axtoi(text.data());
    require(value >= 0 && value <= 0xFFFF, "four hexadecimal digits at most");

    // Nothing past the fourth character counts.
    std::vector<char> head = fuzz_support::terminated_text(data, std::min<size_t>(size, 4));
    require(axtoi(head.data()) == value, "only the first four characters count");
    return 0;
}
