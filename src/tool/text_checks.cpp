#include "tool/text_checks.h"

#include <cctype>
#include <cstring>

bool is_mac_text(const char* text)
{
    if (text == nullptr || strlen(text) != 12)
        return false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (!isxdigit(static_cast<unsigned char>(*p)))
            return false;
    }
    return true;
}
