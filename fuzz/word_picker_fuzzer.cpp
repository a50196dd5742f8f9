// Word picker: byte 0 chooses the word, byte 1 the size of the caller's
// buffer; the rest is the file.
#include "tool/tool_output.h"

#include "fuzz_support.h"
#include "support/test_support.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using fuzz_support::require;

namespace {

constexpr char kFiller = '#';
constexpr size_t kLineSize = 4096;

// Word n of the first line as strtok reads it, the line taken as fgets
// takes it into a buffer of kLineSize bytes; empty when there is none.
std::string reference_word(const uint8_t* data, size_t size, int n)
{
    std::string line;
    for (size_t i = 0; i < size && line.size() < kLineSize - 1; ++i) {
        line.push_back(static_cast<char>(data[i]));
        if (data[i] == '\n')
            break;
    }
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    char* save = nullptr;
    char* word = strtok_r(text.data(), " =:\n", &save);
    for (int i = 1; word != nullptr && i < n; ++i)
        word = strtok_r(nullptr, " =:\n", &save);
    return word != nullptr ? word : "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int n = static_cast<int8_t>(data[0]) % 8;
    const size_t out_size = 1 + data[1] % 16;
    const std::string path = fuzz_support::scratch_dir() + "/words.txt";
    testing_support::write_file(path, fuzz_support::bytes(data + 2, size - 2));

    // Exactly out_size bytes, so that a write past the end is caught.
    std::unique_ptr<char[]> out(new char[out_size]);
    memset(out.get(), kFiller, out_size);
    get_nth_word_from_file(path.c_str(), n, out.get(), out_size);

    if (n <= 0) {
        for (size_t i = 0; i < out_size; ++i)
            require(out[i] == kFiller, "no word asked: buffer untouched");
        return 0;
    }
    require(memchr(out.get(), '\0', out_size) != nullptr, "word terminated within the buffer");
    std::string expected = reference_word(data + 2, size - 2, n).substr(0, out_size - 1);
    require(expected == out.get(), "the word that strtok finds, cut to the buffer");
    if (expected.empty()) {
        for (size_t i = 1; i < out_size; ++i)
            require(out[i] == kFiller, "no word: only the first byte cleared");
    }
    return 0;
}
