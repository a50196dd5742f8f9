#pragma once

#include <sys/types.h>

#include <string>

namespace testing_support {

// Standard input (fd 0) is the read end of a pipe for the life of the
// object, so that a test can answer the program's prompt from another
// thread, or hold it waiting.
class PipedStdin {
public:
    PipedStdin();
    ~PipedStdin();
    PipedStdin(const PipedStdin&) = delete;
    PipedStdin& operator=(const PipedStdin&) = delete;

    bool send(const std::string& text);
    // True when everything sent has been read.
    bool drained() const;

private:
    int saved_ = -1;
    int read_end_ = -1;
    int write_end_ = -1;
};

// True when the thread is blocked in ppoll, as the prompt is while it waits
// for an answer.
bool thread_waits_in_ppoll(pid_t tid);

} // namespace testing_support
