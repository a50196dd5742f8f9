#include "app/event_log.h"

#include "app/progress_line.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "lib/run_flags.h"

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

std::string log_safe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7f) {
            out.push_back(ch);
            continue;
        }
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
