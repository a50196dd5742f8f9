#pragma once

// Texts that go into shell command lines are checked against these first.

// Exactly 12 hexadecimal digits.
bool is_mac_text(const char* text);
