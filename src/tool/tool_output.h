#pragma once

#include <cstddef>
#include <cstdint>

// Word n (1-based) of the first line of the file, words separated by any run
// of " =:\n". Only out[0] is cleared beforehand; the rest of the buffer keeps
// what it held, so a caller's default shows from its second character. A
// word longer than the buffer is cut to fit.
void get_nth_word_from_file(const char* path, int n, char* out, size_t out_size);

// Splits a version text: major is the one character before the first ".",
// then minor and build between the dots (cut to 3 and 4 characters).
// Returns 0, or FWUPG_ERR when there is no text.
int parseversions(const char* text, uint32_t* major, uint32_t* minor, uint32_t* build);

// True when parseversions reads the text whole: an optional "v" (the tool
// writes its versions so), one digit, ".", one to three digits, ".", one to
// four digits. Any other text would be read as some other version (12.3.4
// as 2.3.4, 1.2.34567 as 1.2.3456).
bool version_reads_whole(const char* text);
