#pragma once

#include <cstddef>
#include <string>

// A status line on the terminal while long work goes on: shown only when
// standard output is a terminal and the console gate is open, and erased
// when the object goes, so that the screen ends with exactly what the run
// and its commands wrote, and a pipe or file never sees it.
//
// It is drawn where the cursor stands (the cursor is saved first, line
// wrap is off while it is drawn) and erased back to there. So it never
// erases text it did not write: after a prompt whose answer the terminal
// did not echo, the cursor still stands after the prompt, and the prompt
// stays. It is also erased before anything else reaches the terminal:
// print_message does so, and commands run meanwhile have their standard
// error relayed through relay_to_stderr.
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
};

// Takes the status line off the screen, if it is drawn; the next show
// draws it again.
void erase_status_line();

// Writes what a command wrote to its standard error to ours: the status
// line is erased first and drawn again after it.
void relay_to_stderr(const char* data, size_t size);

// "m:ss" of a number of seconds.
std::string elapsed_text(long seconds);
