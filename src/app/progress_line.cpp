#include "app/progress_line.h"

#include "app/event_log.h"
#include "lib/bounded_text.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Back to the start of the line, and the line cleared to its end.
const char kEraseLine[] = "\r\033[K";

} // namespace

ProgressLine::ProgressLine()
    : active_(console_open() && isatty(STDOUT_FILENO) == 1)
{
}

ProgressLine::~ProgressLine()
{
    if (!shown_)
        return;
    fputs(kEraseLine, stdout);
    fflush(stdout);
}

void ProgressLine::show(const std::string& text)
{
    if (!active_)
        return;
    // What the run printed so far goes out first, so the line stands after it.
    fputs(kEraseLine, stdout);
    fputs(text.c_str(), stdout);
    fflush(stdout);
    shown_ = true;
}

std::string elapsed_text(long seconds)
{
    return format_text("%ld:%02ld", seconds / 60, seconds % 60);
}
