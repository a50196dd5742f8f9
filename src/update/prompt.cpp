#include "update/prompt.h"

#include "app/bounded_text.h"
#include "app/event_log.h"
#include "app/run_flags.h"

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

} // namespace

// The tail of a longer line is read and dropped through its line end, so
// that it can never answer the next question.
bool read_answer_line(FILE* in, std::string* line)
{
    line->clear();
    int c = EOF;
    while (line->size() < ANSWER_LINE_SIZE - 1 && (c = getc(in)) != EOF) {
        line->push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    if (line->empty())
        return false;
    if (line->size() == ANSWER_LINE_SIZE - 1 && line->back() != '\n') {
        while ((c = getc(in)) != EOF && c != '\n') {
        }
    }
    return true;
}

int answer_for_line(std::string line, int default_answer)
{
    size_t read_count = line.size();
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (read_count == 1)
        return default_answer;
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
    if (!read_answer_line(stdin, &line)) {
        print_message("Unknown input problem!\nQuit...\n");
        return ANSWER_QUIT;
    }
    // Composed at full length so that the entry keeps its own line end even
    // for an overlong answer.
    std::string entry = format_text("%s %s\n", prompt, line.c_str());
    log_dazed_event(dazed_fout, LOG_INFO, entry.c_str(), 0);
    return answer_for_line(line, default_answer);
}
