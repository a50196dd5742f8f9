#include "tool/text_checks.h"

#include <cctype>
#include <cstring>

namespace {

bool all_of(const char* text, bool (*accept)(unsigned char))
{
    if (text == nullptr || *text == '\0')
        return false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (!accept(static_cast<unsigned char>(*p)))
            return false;
    }
    return true;
}

} // namespace

bool is_mac_text(const char* text)
{
    return text != nullptr && strlen(text) == 12 && all_of(text, [](unsigned char c) { return isxdigit(c) != 0; });
}

bool is_decimal_text(const char* text)
{
    return all_of(text, [](unsigned char c) { return c >= '0' && c <= '9'; });
}

bool is_safe_image_name(const char* text)
{
    return all_of(text, [](unsigned char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      (c != '\0' && strchr("._+-", c) != nullptr);
           }) &&
           strcmp(text, ".") != 0 && strcmp(text, "..") != 0;
}
