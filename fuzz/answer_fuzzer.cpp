// The prompt's line reader and answer matching over the input as standard
// input, line after line.
#include "update/prompt.h"

#include "fuzz_support.h"

#include <cstdio>
#include <string>
#include <vector>

using fuzz_support::require;

namespace {

ByteRead from_file(void* source, char* c)
{
    int ch = getc(static_cast<FILE*>(source));
    if (ch == EOF)
        return ByteRead::END;
    *c = static_cast<char>(ch);
    return ByteRead::BYTE;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::vector<char> buffer(data, data + size);
    FILE* in = fmemopen(buffer.data(), buffer.size(), "r");
    require(in != nullptr, "fmemopen");

    std::string line;
    size_t lines = 0;
    while (read_answer_line(from_file, in, &line) == LineRead::LINE) {
        require(++lines <= size, "every read consumes input");
        require(!line.empty() && line.size() <= ANSWER_LINE_SIZE - 1, "line within the answer buffer");
        size_t end = line.find('\n');
        require(end == std::string::npos || end == line.size() - 1, "a line end only at the end");
        for (int default_answer : {ANSWER_YES, ANSWER_NO}) {
            int answer = answer_for_line(line, default_answer);
            require(answer == ANSWER_YES || answer == ANSWER_NO || answer == ANSWER_QUIT, "an answer");
            if (line == "\n")
                require(answer == default_answer, "an empty line gives the default");
            if (line == "n" || line == "n\n")
                require(answer == ANSWER_NO, "n is no, with or without its line end");
        }
    }
    fclose(in);
    return 0;
}
