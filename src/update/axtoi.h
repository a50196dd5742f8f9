#pragma once

// The hexadecimal value of the first (at most four) characters of text, up
// to the first character that is no digit. Digits are 0-9, a-f, A-F and
// everything from '*' to '?', which counts as its code's low four bits.
int axtoi(const char* text);
