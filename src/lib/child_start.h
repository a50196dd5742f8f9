#pragma once

#include <string>
#include <vector>

// What a command's shell starts from, prepared before the fork (nothing is
// allocated in the child): the environment less the variables that make a
// shell or the dynamic loader run other code, and PATH without empty or
// relative entries, so that a file planted in the working directory is never
// run in place of cat, grep or ls.
class ChildEnvironment {
public:
    explicit ChildEnvironment(char* const* environment);
    char* const* envp() const { return pointers_.data(); }

private:
    std::vector<std::string> entries_;
    std::vector<char*> pointers_;
};

// In the child, just before exec: standard input from /dev/null (typed-ahead
// answers belong to the prompt), every descriptor above 2 closed, no signal
// blocked, umask 022. Returns false when standard input cannot be replaced.
bool prepare_child_process();

