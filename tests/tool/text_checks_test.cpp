// What may go into a shell command line.
#include "tool/text_checks.h"

#include <gtest/gtest.h>

namespace {

TEST(TextChecks, Table)
{
    struct Case {
        const char* text;
        bool mac, decimal, image;
    };
    const Case cases[] = {
        {"001B21123456", true, false, true},
        {"001b21abcdef", true, false, true},
        {"001B2112345", false, false, true},
        {"001B211234567", false, false, true},
        {"001B21 23456", false, false, false},
        {"0012", false, true, true},
        {"001122334455", true, true, true},
        {"", false, false, false},
        {"img_1.2-x+y.bin", false, false, true},
        // A name in the image directory itself: no way out of it.
        {"sub/img.bin", false, false, false},
        {"../../evil.bin", false, false, false},
        {"..", false, false, false},
        {".", false, false, false},
        {"..bin", false, false, true},
        {"a.bin;touch x", false, false, false},
        {"$(id)", false, false, false},
        {"`id`", false, false, false},
        {"a b", false, false, false},
        {"a\nb", false, false, false},
        {"a|b", false, false, false},
        {"a>b", false, false, false},
        {"\xc3\xa9.bin", false, false, false},
        {"n/a", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_mac_text(c.text), c.mac) << c.text;
        EXPECT_EQ(is_decimal_text(c.text), c.decimal) << c.text;
        EXPECT_EQ(is_safe_image_name(c.text), c.image) << c.text;
    }
    EXPECT_FALSE(is_mac_text(nullptr));
    EXPECT_FALSE(is_decimal_text(nullptr));
    EXPECT_FALSE(is_safe_image_name(nullptr));
}

} // namespace
