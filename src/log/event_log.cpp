#include "log/event_log.h"

#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/progress_line.h"

#include <cstdarg>
#include <cstring>
#include <ctime>

std::string g_EventLogPath = g_EventLogName;
FILE* dazed_fout = nullptr;
char event_log_string[EVENT_LOG_STRING_SIZE];

const char LOG_PLAIN[] = "";
const char LOG_ERROR[] = "[ERROR]  :";
const char LOG_INFO[] = "[INFO]   :";
const char LOG_WARNING[] = "[WARNING]:";

const char LOG_SEPARATOR[] = "============================================================\n";

namespace {

constexpr uint32_t kConsoleMuted = RUN_SILENT | RUN_USE_XML | RUN_DISCOVERY;

} // namespace

int log_dazed_event(FILE* stream, const char* prefix, const char* text, int console)
{
    if (text == nullptr)
        text = "";
    if (stream != nullptr) {
        fputs(prefix != nullptr ? prefix : "", stream);
        fputs(text, stream);
        fflush(stream);
    }
    if (console == 1)
        print_message(text);
    return 0;
}

void log_event_f(const char* prefix, int console, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(event_log_string, sizeof event_log_string, fmt, ap);
    va_end(ap);
    if (n < 0)
        event_log_string[0] = '\0';
    log_dazed_event(dazed_fout, prefix, event_log_string, console);
}

namespace {

void append_escaped(std::string& out, unsigned char c)
{
    switch (c) {
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default: {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    }
    }
}

// The length of the well-formed UTF-8 character at text[i] (strict: no
// overlong forms, no surrogates), or 0 when none starts there.
size_t utf8_length(const std::string& text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t n;
    unsigned char low = 0x80, high = 0xBF;  // of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + n > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < n; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return n;
}

} // namespace

std::string log_safe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(text[i++]);
            continue;
        }
        // A UTF-8 letter stays whole; the C1 controls U+0080 to U+009F
        // (0xC2 0x80 to 0xC2 0x9F) act on a terminal as their raw bytes
        // do, and are escaped like them.
        const size_t n = c >= 0x80 ? utf8_length(text, i) : 0;
        if (n > 0 && !(c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
            out.append(text, i, n);
            i += n;
        } else if (n > 0) {
            append_escaped(out, c);
            append_escaped(out, static_cast<unsigned char>(text[i + 1]));
            i += n;
        } else if (c >= 0xA0) {
            out.push_back(text[i++]);  // not UTF-8, but no control either
        } else {
            append_escaped(out, c);  // C0, DEL and a raw C1 byte
            ++i;
        }
    }
    return out;
}

std::string log_safe(const char* text)
{
    return log_safe(std::string(text != nullptr ? text : ""));
}

void log_time(FILE* stream)
{
    if (stream == nullptr)
        return;
    time_t now = time(nullptr);
    char stamp[64] = "";
    if (ctime_r(&now, stamp) == nullptr)
        stamp[0] = '\0';
    stamp[strcspn(stamp, "\n")] = '\0';
    fprintf(stream, "[%s]\n", stamp);
    fflush(stream);
}

void log_command(int argc, char* const* argv)
{
    log_dazed_event(dazed_fout, LOG_PLAIN, "\nCommand: ", 0);
    // As typed, but an argument cannot start a log line of its own.
    for (int i = 0; i < argc; ++i) {
        format_bounded(event_log_string, sizeof event_log_string, "%s ", log_safe(argv[i]).c_str());
        log_dazed_event(dazed_fout, LOG_PLAIN, event_log_string, 0);
    }
    log_dazed_event(dazed_fout, LOG_PLAIN, "\n\n", 0);
}

void log_ret_val(int code)
{
    format_bounded(event_log_string, sizeof event_log_string, "\nReturn Value: %s [%d]\n", return_code_name(code),
                   code);
    log_dazed_event(dazed_fout, LOG_PLAIN, event_log_string, 0);
}

bool console_open()
{
    return (g_iFlag & kConsoleMuted) == 0;
}

void print_message(const char* text)
{
    if (!console_open() || text == nullptr)
        return;
    erase_status_line();  // nothing may stand glued to a status line
    fputs(text, stdout);
}
