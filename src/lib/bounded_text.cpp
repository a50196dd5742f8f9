#include "lib/bounded_text.h"

#include "lib/config.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

bool format_bounded(char* buf, size_t size, const char* fmt, ...)
{
    if (buf == nullptr || size == 0)
        return false;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    if (n < 0) {
        buf[0] = '\0';
        return false;
    }
    return static_cast<size_t>(n) < size;
}

bool copy_bounded(char* dst, size_t size, const char* src)
{
    if (dst == nullptr || size == 0)
        return false;
    if (src == nullptr)
        src = "";
    size_t len = strnlen(src, size);
    bool fits = len < size;
    if (!fits)
        len = size - 1;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return fits;
}

std::string format_text(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        vsnprintf(&out[0], out.size(), fmt, again);
        out.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}

void* allocate_zeroed(size_t size, int line)
{
    void* block = calloc(size > 0 ? size : 1, 1);
    if (block != nullptr)
        return block;
    fprintf(stderr, "ERROR: malloc failed (errno=%d), %s,%d\n", errno, g_SourceName, line);
    // Aborting here would leave the flash driver staged; the run ends in
    // order instead, as for any other allocation failure.
    throw std::bad_alloc();
}
