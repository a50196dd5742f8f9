#include "tool/tool_output.h"

#include "lib/bounded_text.h"
#include "lib/return_codes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kLineSize = 4096;
constexpr char kDelimiters[] = " =:\n";

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

// Holding fields of the version components, terminator included.
constexpr size_t kMinorField = 4;
constexpr size_t kBuildField = 5;

uint32_t component_value(const char* begin, const char* end, size_t field)
{
    char text[8] = "";
    size_t len = static_cast<size_t>(end - begin);
    if (len > field - 1)
        len = field - 1;
    memcpy(text, begin, len);
    text[len] = '\0';
    return static_cast<uint32_t>(atoi(text));
}

} // namespace

void get_nth_word_from_file(const char* path, int n, char* out, size_t out_size)
{
    if (out == nullptr || out_size == 0 || n <= 0)
        return;
    out[0] = '\0';
    std::unique_ptr<FILE, FileCloser> file(path != nullptr ? fopen(path, "r") : nullptr);
    if (!file)
        return;
    char line[kLineSize] = {};
    if (fgets(line, sizeof line, file.get()) == nullptr)
        return;

    int index = 0;
    const char* p = line;
    for (;;) {
        p += strspn(p, kDelimiters);
        if (*p == '\0')
            return;
        size_t len = strcspn(p, kDelimiters);
        if (++index == n) {
            if (len > out_size - 1)
                len = out_size - 1;
            memcpy(out, p, len);
            out[len] = '\0';
            return;
        }
        p += len;
    }
}

int parseversions(const char* text, uint32_t* major, uint32_t* minor, uint32_t* build)
{
    if (text == nullptr)
        return FWUPG_ERR;
    *major = *minor = *build = 0;
    const char* dot = strchr(text, '.');
    if (dot == nullptr)
        return FWUPG_OK;

    *major = dot > text ? component_value(dot - 1, dot, 2) : 0;

    const char* minor_begin = dot + 1;
    const char* minor_end = minor_begin + strcspn(minor_begin, ".");
    *minor = component_value(minor_begin, minor_end, kMinorField);
    if (*minor_end == '.') {
        const char* build_begin = minor_end + 1;
        const char* build_end = build_begin + strcspn(build_begin, ".");
        *build = component_value(build_begin, build_end, kBuildField);
    }
    return FWUPG_OK;
}

bool version_reads_whole(const char* text)
{
    if (text == nullptr)
        return false;
    const size_t widths[] = {1, kMinorField - 1, kBuildField - 1};
    const char* p = text[0] == 'v' ? text + 1 : text;
    for (size_t i = 0; i < 3; ++i) {
        if (i > 0 && *p++ != '.')
            return false;
        size_t digits = strspn(p, "0123456789");
        if (digits == 0 || digits > widths[i])
            return false;
        p += digits;
    }
    return *p == '\0';
}
