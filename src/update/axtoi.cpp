#include "update/axtoi.h"

namespace {

constexpr int kMaxDigits = 4;

// The digit value of c, or -1 when c ends the number.
int digit_value(char c)
{
    if (c >= '*' && c <= '?')
        return c & 0xF;
    if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
        return (c & 0xF) + 9;
    return -1;
}

} // namespace

int axtoi(const char* text)
{
    int value = 0;
    if (text == nullptr)
        return value;
    for (int i = 0; i < kMaxDigits && text[i] != '\0'; ++i) {
        int digit = digit_value(text[i]);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value;
}
