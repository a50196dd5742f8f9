#include "state_model.h"

#include <csignal>
#include <cstdlib>

namespace bootutil_sim {

const char* const kOmitLabels[] = {"combo", "pxe", "setup", "ocd", "list", nullptr};
const char* const kStderrLabels[] = {"list", "iv", "flash", nullptr};

namespace {

const char kBlanks[] = " \t\r";

bool is_digits(const std::string& v)
{
    return !v.empty() && v.find_first_not_of("0123456789") == std::string::npos;
}

bool is_integer_in(const std::string& v, long low, long high)
{
    if (!is_digits(v) || v.size() > 9)
        return false;
    long n = strtol(v.c_str(), nullptr, 10);
    return n >= low && n <= high;
}

bool check_exit_code(const std::string& v) { return is_integer_in(v, 0, 255); }
// Stop signals are refused: a stopped tool would hang the caller.
bool check_signal(const std::string& v)
{
    if (!is_integer_in(v, 1, 64))
        return false;
    long sig = strtol(v.c_str(), nullptr, 10);
    return sig != SIGSTOP && sig != SIGTSTP && sig != SIGTTIN && sig != SIGTTOU;
}

bool check_seconds(const std::string& v)
{
    if (v.empty() || v.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    double d = strtod(v.c_str(), &end);
    return *end == '\0' && d >= 0 && d <= 3600;
}

bool is_label_list(const std::string& v, const char* const* labels)
{
    size_t start = 0;
    for (;;) {
        size_t comma = v.find(',', start);
        std::string label = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const char* const* l = labels; *l != nullptr; ++l)
            known = known || label == *l;
        if (!known)
            return false;
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

bool check_omit_list(const std::string& v) { return is_label_list(v, kOmitLabels); }
bool check_stderr_list(const std::string& v) { return is_label_list(v, kStderrLabels); }

bool check_nonempty(const std::string& v) { return !v.empty(); }

struct KeyRule {
    RecordKind kind;
    const char* key;
    bool required;
    bool (*check)(const std::string& value);
    const char* expected;
};

// Keys the simulator acts on; any other key is kept but ignored.
const KeyRule kKeyRules[] = {
    {RecordKind::Adapter, "nic", true, is_digits, "a decimal tool number"},
    {RecordKind::Adapter, "flash_exit", false, check_exit_code, "an exit code 0-255"},
    {RecordKind::Adapter, "flash_signal", false, check_signal, "a signal number 1-64, not a stop signal"},
    {RecordKind::Adapter, "flash_delay", false, check_seconds, "seconds (0-3600)"},
    {RecordKind::Adapter, "report_delay", false, check_seconds, "seconds (0-3600)"},
    {RecordKind::Adapter, "omit", false, check_omit_list, "labels combo,pxe,setup,ocd,list"},
    {RecordKind::Adapter, "list_exit", false, check_exit_code, "an exit code 0-255"},
    {RecordKind::Adapter, "stderr_on", false, check_stderr_list, "labels list,iv,flash"},
    {RecordKind::Image, "file", true, check_nonempty, "a file name"},
    {RecordKind::Image, "omit", false, check_omit_list, "labels combo,pxe,setup,ocd"},
};

const struct {
    const char* word;
    RecordKind kind;
} kRecordWords[] = {
    {"adapter", RecordKind::Adapter},
    {"image", RecordKind::Image},
};

std::vector<std::string> split_words(const std::string& text)
{
    std::vector<std::string> words;
    size_t pos = text.find_first_not_of(kBlanks);
    while (pos != std::string::npos) {
        size_t end = text.find_first_of(kBlanks, pos);
        words.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end == std::string::npos ? end : text.find_first_not_of(kBlanks, end);
    }
    return words;
}

bool parse_record(const std::vector<std::string>& words, StateLine* line, std::string* why)
{
    line->kind = RecordKind::Other;
    for (const auto& r : kRecordWords) {
        if (words[0] == r.word)
            line->kind = r.kind;
    }
    if (line->kind == RecordKind::Other) {
        *why = "unknown record \"" + words[0] + "\" (expected adapter or image)";
        return false;
    }
    for (size_t i = 1; i < words.size(); ++i) {
        size_t eq = words[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            *why = "\"" + words[i] + "\" is not key=value";
            return false;
        }
        line->fields.push_back({words[i].substr(0, eq), words[i].substr(eq + 1)});
    }
    for (const KeyRule& rule : kKeyRules) {
        if (rule.kind != line->kind)
            continue;
        if (!has_field(*line, rule.key)) {
            if (rule.required) {
                *why = std::string("missing ") + rule.key + "=";
                return false;
            }
            continue;
        }
        if (!rule.check(field_value(*line, rule.key))) {
            *why = std::string(rule.key) + "= needs " + rule.expected;
            return false;
        }
    }
    return true;
}

std::string serialize_record(const StateLine& line)
{
    std::string text = line.kind == RecordKind::Adapter ? "adapter" : "image";
    for (const Field& f : line.fields)
        text += " " + f.key + "=" + f.value;
    return text;
}

std::string without_leading_zeros(const std::string& digits)
{
    size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

} // namespace

bool parse_state(const std::string& text, const std::string& source, HostState* state,
                 std::string* error)
{
    state->lines.clear();
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        StateLine line;
        line.text = text.substr(start, end - start);
        start = end + 1;
        ++number;

        std::vector<std::string> words = split_words(line.text);
        if (!words.empty() && words[0][0] != '#') {
            std::string why;
            if (!parse_record(words, &line, &why)) {
                *error = source + ":" + std::to_string(number) + ": " + why;
                return false;
            }
        }
        state->lines.push_back(std::move(line));
    }
    return true;
}

std::string serialize_state(const HostState& state)
{
    std::string text;
    for (const StateLine& line : state.lines)
        text += (line.changed ? serialize_record(line) : line.text) + "\n";
    return text;
}

std::string field_value(const StateLine& line, const std::string& key)
{
    for (const Field& f : line.fields) {
        if (f.key == key)
            return f.value;
    }
    return "";
}

bool has_field(const StateLine& line, const std::string& key)
{
    for (const Field& f : line.fields) {
        if (f.key == key)
            return true;
    }
    return false;
}

void set_field(StateLine& line, const std::string& key, const std::string& value)
{
    line.changed = true;
    for (Field& f : line.fields) {
        if (f.key == key) {
            f.value = value;
            return;
        }
    }
    line.fields.push_back({key, value});
}

StateLine* find_adapter(HostState& state, const std::string& nic_text)
{
    if (!is_digits(nic_text))
        return nullptr;
    std::string wanted = without_leading_zeros(nic_text);
    for (StateLine& line : state.lines) {
        if (line.kind == RecordKind::Adapter &&
            without_leading_zeros(field_value(line, "nic")) == wanted)
            return &line;
    }
    return nullptr;
}

StateLine* find_image(HostState& state, const std::string& file_name)
{
    for (StateLine& line : state.lines) {
        if (line.kind == RecordKind::Image && field_value(line, "file") == file_name)
            return &line;
    }
    return nullptr;
}

} // namespace bootutil_sim
