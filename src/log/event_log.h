#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

constexpr size_t EVENT_LOG_STRING_SIZE = 4096;

// Where run control opens the event log: "bootutil.log" in the working
// directory (tests may point it elsewhere).
extern std::string g_EventLogPath;
// The open event log; null before it is opened (and in tests that need none).
extern FILE* dazed_fout;
// Shared scratch buffer in which a message is composed just before it is logged.
extern char event_log_string[EVENT_LOG_STRING_SIZE];

// Message prefixes, ten characters each so that the texts line up.
extern const char LOG_PLAIN[];    // ""
extern const char LOG_ERROR[];    // "[ERROR]  :"
extern const char LOG_INFO[];     // "[INFO]   :"
extern const char LOG_WARNING[];  // "[WARNING]:"

extern const char LOG_SEPARATOR[];  // 60 equals signs and a line end

// Writes prefix and text to the stream and flushes; with console exactly 1
// the text alone also goes to print_message.
int log_dazed_event(FILE* stream, const char* prefix, const char* text, int console);

// Composes into event_log_string (cut at its end) and logs it to dazed_fout.
void log_event_f(const char* prefix, int console, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// A text that comes from outside (a file, a report, the flash tool's
// output) made safe to log: control characters are written as escapes
// ("\n" as the two characters \ and n, others as \xHH), so that the text
// can never start a log line of its own nor steer a terminal. They are C0,
// DEL, the C1 bytes 0x80 to 0x9F where they stand on their own, and C1 in
// UTF-8 (0xC2 0x80 to 0xC2 0x9F); other UTF-8 stays as it is.
std::string log_safe(const std::string& text);
std::string log_safe(const char* text);

void log_time(FILE* stream);
void log_command(int argc, char* const* argv);
void log_ret_val(int code);

// Whether the console gate is open: not while -s, -d or -u is in effect.
bool console_open();

// The one way to the console: silent while -s, -d or -u is in effect.
// The text is data, never a format.
void print_message(const char* text);
