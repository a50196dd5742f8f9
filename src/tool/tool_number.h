#pragma once

#include <cstdint>
#include <string>

// The flash tool's number for an adapter, word 2 of its line in the tool's
// adapter list. One rule for every mode: the number is used only when the
// word is decimal digits that fit the number whole. Anything else would
// name another adapter (a cut 12345 is 1234) or none (-NIC= or -NIC=0).
enum class ToolNumberState { USABLE, NOT_LISTED, UNUSABLE };

struct ToolNumber {
    ToolNumberState state = ToolNumberState::NOT_LISTED;
    std::string text;    // the word as the tool printed it (when not too long to read)
    int32_t number = 0;  // when USABLE
};

constexpr size_t MAX_TOOL_NUMBER_DIGITS = 9;

// Reads word 2 of the first line of path (a picked adapter line): no word
// is NOT_LISTED.
ToolNumber read_tool_number(const char* path);

// Logs why the adapter with this MAC is not used, and what happens to it.
void log_unusable_tool_number(const std::string& mac, const ToolNumber& number, const char* consequence);
