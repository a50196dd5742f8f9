#pragma once

// Texts that go into shell command lines are checked against these first.

// Exactly 12 hexadecimal digits.
bool is_mac_text(const char* text);

// One or more decimal digits and nothing else.
bool is_decimal_text(const char* text);

// A non-empty image file name of letters, digits and "._+-/" only: nothing
// the shell could read as syntax.
bool is_safe_image_name(const char* text);
