#pragma once

#include <string>

// A status line on the terminal while long work goes on: shown only when
// standard output is a terminal and the console gate is open, rewritten in
// place, and erased when the object goes, so that the screen ends with
// exactly what the run prints anyway and a pipe or file never sees it.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Replaces the line's text.
    void show(const std::string& text);

private:
    bool active_;
    bool shown_ = false;
};

// "m:ss" of a number of seconds.
std::string elapsed_text(long seconds);
