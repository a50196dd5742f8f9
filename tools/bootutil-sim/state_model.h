#pragma once

#include <string>
#include <vector>

namespace bootutil_sim {

enum class RecordKind { Other, Adapter, Image };

struct Field {
    std::string key;
    std::string value;
};

// One line of the state file. Comments, blank lines and untouched records
// are written back exactly as read; a changed record is written from its
// fields, in their order, unknown keys included.
struct StateLine {
    RecordKind kind = RecordKind::Other;
    std::string text;
    std::vector<Field> fields;
    bool changed = false;
};

struct HostState {
    std::vector<StateLine> lines;
};

// Parses the state file text. On a malformed line returns false with a
// message naming source and line number.
bool parse_state(const std::string& text, const std::string& source, HostState* state,
                 std::string* error);
std::string serialize_state(const HostState& state);

// The value of the first field named key, or "" when there is none.
std::string field_value(const StateLine& line, const std::string& key);
bool has_field(const StateLine& line, const std::string& key);
// Changes the first field named key, or appends it.
void set_field(StateLine& line, const std::string& key, const std::string& value);

// The first adapter whose tool number equals nic_text as a number (leading
// zeros do not count); null when nic_text is empty, not a number, or unknown.
StateLine* find_adapter(HostState& state, const std::string& nic_text);
// The first image whose file name is file_name.
StateLine* find_image(HostState& state, const std::string& file_name);

// Labels a record's omit= and stderr_on= lists may name.
extern const char* const kOmitLabels[];
extern const char* const kStderrLabels[];

} // namespace bootutil_sim
