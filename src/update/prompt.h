#pragma once

#include <cstddef>

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
