#pragma once

#include <cstddef>
#include <string>

// Formats into a fixed buffer and cuts at its end. Returns false when the
// text had to be cut (or the format failed); the buffer is always terminated.
bool format_bounded(char* buf, size_t size, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// Copies at most size - 1 characters of src (null counts as empty) and
// terminates. Returns false when src was cut.
bool copy_bounded(char* dst, size_t size, const char* src);

// Formats into a string of whatever length the text needs.
std::string format_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A zero-filled heap block, released with free. When none can be had it
// prints "ERROR: malloc failed (errno=%d), %s,%d\n" with the caller's line
// and throws std::bad_alloc, which ends the run in order.
void* allocate_zeroed(size_t size, int line);
