#include "update/prompt.h"

#include "app/bounded_text.h"
#include "app/event_log.h"
#include "app/interrupts.h"
#include "app/run_flags.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

struct AnswerWord {
    const char* word;
    int answer;
};

// Exact, case-sensitive words; anything else is no.
const AnswerWord kAnswerWords[] = {
    {"y", ANSWER_YES},    {"yes", ANSWER_YES},   {"Y", ANSWER_YES},     {"Yes", ANSWER_YES},
    {"YES", ANSWER_YES},  {"q", ANSWER_QUIT},    {"Q", ANSWER_QUIT},    {"Quit", ANSWER_QUIT},
    {"QUIT", ANSWER_QUIT}, {"quit", ANSWER_QUIT},
};

enum class ByteRead { BYTE, END, INTERRUPTED };

// One byte of standard input, read straight from the descriptor: nothing is
// buffered ahead, so the wait for the next answer is a wait on the
// descriptor itself, which a termination signal ends.
ByteRead read_input_byte(char* c)
{
    for (;;) {
        switch (wait_for_input(STDIN_FILENO)) {
        case InputWait::INTERRUPTED:
            return ByteRead::INTERRUPTED;
        case InputWait::FAILED:
            return ByteRead::END;
        case InputWait::READY:
            break;
        }
        ssize_t n = read(STDIN_FILENO, c, 1);
        if (n == 1)
            return ByteRead::BYTE;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return ByteRead::END;
    }
}

enum class LineRead { LINE, NOTHING, INTERRUPTED };

// Reads one line of at most ANSWER_LINE_SIZE - 1 characters, its line end
// included. The tail of a longer line is read and dropped through its line
// end, so that it can never answer the next question. A line during which a
// termination signal arrived is no answer, however much of it was read.
LineRead read_answer_line(std::string* line)
{
    line->clear();
    char c = 0;
    ByteRead r = ByteRead::END;
    while (line->size() < ANSWER_LINE_SIZE - 1 && (r = read_input_byte(&c)) == ByteRead::BYTE) {
        line->push_back(c);
        if (c == '\n')
            break;
    }
    if (line->size() == ANSWER_LINE_SIZE - 1 && line->back() != '\n') {
        while ((r = read_input_byte(&c)) == ByteRead::BYTE && c != '\n') {
        }
    }
    if (r == ByteRead::INTERRUPTED || interrupted())
        return LineRead::INTERRUPTED;
    return line->empty() ? LineRead::NOTHING : LineRead::LINE;
}

int answer_for(const std::string& text)
{
    for (const AnswerWord& entry : kAnswerWords) {
        if (text == entry.word)
            return entry.answer;
    }
    return ANSWER_NO;
}

} // namespace

int nfwu_yesno(const char* question, int silent_answer, int forced_answer, int default_answer,
               const char* default_text)
{
    if (g_iFlag & RUN_SILENT)
        return (g_iFlag & RUN_FORCE) ? forced_answer : silent_answer;

    char prompt[ANSWER_LINE_SIZE];
    format_bounded(prompt, sizeof prompt, "%s y/n/q (%s):", question, default_text);
    print_message(prompt);
    fflush(stdout);  // the prompt has no line end; it must show before we wait

    std::string line;
    switch (read_answer_line(&line)) {
    case LineRead::INTERRUPTED:
        // The caller stops on the signal; this only ends the prompt's line.
        print_message("\n");
        return ANSWER_NO;
    case LineRead::NOTHING:
        print_message("Unknown input problem!\nQuit...\n");
        return ANSWER_QUIT;
    case LineRead::LINE:
        break;
    }
    // Composed at full length so that the entry keeps its own line end even
    // for an overlong answer.
    std::string entry = format_text("%s %s\n", prompt, line.c_str());
    log_dazed_event(dazed_fout, LOG_INFO, entry.c_str(), 0);

    size_t read_count = line.size();
    if (line.back() == '\n')
        line.pop_back();
    if (read_count == 1)
        return default_answer;
    return answer_for(line);
}
