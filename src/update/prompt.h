#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Answers to an update question.
constexpr int ANSWER_YES = 0;
constexpr int ANSWER_NO = 1;
constexpr int ANSWER_QUIT = 2;

// The operator's line is read into a buffer of this size.
constexpr size_t ANSWER_LINE_SIZE = 4096;

// Asks the question and gives the answer. In silent mode nothing is shown or
// read: the forced answer with -f, else the silent one. Interactively an
// empty line gives default_answer; default_text is shown in the prompt.
int nfwu_yesno(const char* question, int silent_answer, int forced_answer, int default_answer,
               const char* default_text);

// Reads one answer line of at most ANSWER_LINE_SIZE - 1 characters, its line
// end included. False when nothing at all could be read.
bool read_answer_line(FILE* in, std::string* line);

// The answer that a line as read gives: a line of one character (an empty
// line) gives default_answer; otherwise the exact answer words, else no.
int answer_for_line(std::string line, int default_answer);
