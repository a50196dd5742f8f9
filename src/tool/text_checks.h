#pragma once

// Texts that go into shell command lines are checked against these first.

// Exactly 12 hexadecimal digits.
bool is_mac_text(const char* text);

// One or more decimal digits and nothing else.
bool is_decimal_text(const char* text);

// A plain image file name (one in ./nic_fw/ itself, so no "/", and not "."
// or "..") of letters, digits and "._+-" only: nothing the shell could read
// as syntax, and no way out of the image directory.
bool is_safe_image_name(const char* text);
