#include "update/prompt.h"

#include "lib/bounded_text.h"
#include "lib/interrupts.h"
#include "lib/run_state.h"
#include "log/event_log.h"

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

// One byte of standard input, read straight from the descriptor: nothing is
// buffered ahead, so the wait for the next answer is a wait on the
// descriptor itself, which a termination signal ends.
ByteRead read_input_byte(void*, char* c)
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

} // namespace

LineRead read_answer_line(ByteReader next_byte, void* source, std::string* line)
{
    line->clear();
    char c = 0;
    ByteRead r = ByteRead::END;
    while (line->size() < ANSWER_LINE_SIZE - 1 && (r = next_byte(source, &c)) == ByteRead::BYTE) {
        line->push_back(c);
        if (c == '\n')
            break;
    }
    if (line->size() == ANSWER_LINE_SIZE - 1 && line->back() != '\n') {
        while ((r = next_byte(source, &c)) == ByteRead::BYTE && c != '\n') {
        }
    }
    if (r == ByteRead::INTERRUPTED || interrupted())
        return LineRead::INTERRUPTED;
    return line->empty() ? LineRead::NOTHING : LineRead::LINE;
}

int answer_for_line(std::string line, int default_answer)
{
    // Only an empty line takes the default; a single character at the end
    // of input is the answer it spells ("n" from printf n is no).
    if (line == "\n")
        return default_answer;
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    for (const AnswerWord& entry : kAnswerWords) {
        if (line == entry.word)
            return entry.answer;
    }
    return ANSWER_NO;
}

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
    switch (read_answer_line(read_input_byte, nullptr, &line)) {
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
    std::string answer = line;
    const bool ends_line = !answer.empty() && answer.back() == '\n';
    if (ends_line)
        answer.pop_back();
    answer = log_safe(answer) + (ends_line ? "\n" : "");
    std::string entry = format_text("%s %s\n", prompt, answer.c_str());
    log_dazed_event(dazed_fout, LOG_INFO, entry.c_str(), 0);
    return answer_for_line(line, default_answer);
}
