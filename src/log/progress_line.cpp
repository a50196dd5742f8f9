#include "log/progress_line.h"

#include "lib/bounded_text.h"
#include "lib/shell.h"
#include "log/event_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Save the cursor and turn line wrap off, so that a text wider than what is
// left of the line never wraps, and never scrolls the saved place away.
const char kDrawStart[] = "\0337\033[?7l";
const char kDrawEnd[] = "\033[?7h";
// Back to the saved cursor, and the line cleared from there to its end.
const char kErase[] = "\0338\033[K";

// One status line at a time; a second one stays quiet.
bool g_active = false;
bool g_drawn = false;
std::string g_text;

void draw()
{
    fputs(kDrawStart, stdout);
    fputs(g_text.c_str(), stdout);
    fputs(kDrawEnd, stdout);
    fflush(stdout);
    g_drawn = true;
}

void write_all(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // nowhere to write it, as for the command itself
        data += n;
        size -= static_cast<size_t>(n);
    }
}

} // namespace

ProgressLine::ProgressLine()
    : active_(!g_active && console_open() && isatty(STDOUT_FILENO) == 1)
{
    if (active_) {
        g_active = true;
        g_text.clear();
        g_command_stderr_relay = relay_to_stderr;
    }
}

ProgressLine::~ProgressLine()
{
    if (!active_)
        return;
    erase_status_line();
    g_active = false;
    g_command_stderr_relay = nullptr;
}

void ProgressLine::show(const std::string& text)
{
    if (!active_)
        return;
    erase_status_line();
    g_text = text;
    draw();
}

void erase_status_line()
{
    if (!g_drawn)
        return;
    fputs(kErase, stdout);
    fflush(stdout);
    g_drawn = false;
}

void relay_to_stderr(const char* data, size_t size)
{
    const bool was_drawn = g_drawn;
    erase_status_line();
    write_all(STDERR_FILENO, data, size);
    if (was_drawn)
        draw();
}

std::string elapsed_text(long seconds)
{
    return format_text("%ld:%02ld", seconds / 60, seconds % 60);
}
