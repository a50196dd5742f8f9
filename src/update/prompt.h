#pragma once

#include <cstddef>
#include <string>

// Answers to an update question.
constexpr int ANSWER_YES = 0;
constexpr int ANSWER_NO = 1;
constexpr int ANSWER_QUIT = 2;

// The operator's line is read into a buffer of this size.
constexpr size_t ANSWER_LINE_SIZE = 4096;

// Asks the question and gives the answer. In silent mode nothing is shown or
// read: the forced answer with -f, else the silent one. Interactively an
// empty line gives default_answer; default_text is shown in the prompt. A
// termination signal during the wait is no answer: ANSWER_NO, nothing
// logged, and the caller stops on the recorded signal.
int nfwu_yesno(const char* question, int silent_answer, int forced_answer, int default_answer,
               const char* default_text);

enum class ByteRead { BYTE, END, INTERRUPTED };
// Gives the next byte of the answers' source.
using ByteReader = ByteRead (*)(void* source, char* c);

enum class LineRead { LINE, NOTHING, INTERRUPTED };

// Reads one line of at most ANSWER_LINE_SIZE - 1 characters, its line end
// included. The tail of a longer line is read and dropped through its line
// end, so that it can never answer the next question. A line during which a
// termination signal arrived is no answer, however much of it was read.
LineRead read_answer_line(ByteReader next_byte, void* source, std::string* line);

// The answer that a line as read gives: an empty line gives default_answer;
// otherwise the exact answer words (with or without the line end), else no.
int answer_for_line(std::string line, int default_answer);
