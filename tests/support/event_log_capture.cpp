#include "support/event_log_capture.h"

#include "log/event_log.h"

#include <unistd.h>

#include <stdexcept>

namespace testing_support {

EventLogCapture::EventLogCapture() : saved_(dazed_fout), stream_(tmpfile())
{
    if (stream_ == nullptr)
        throw std::runtime_error("tmpfile failed");
    dazed_fout = stream_;
}

EventLogCapture::~EventLogCapture()
{
    dazed_fout = saved_;
    fclose(stream_);
}

std::string EventLogCapture::text() const
{
    fflush(stream_);
    long end = ftell(stream_);
    std::string out(end > 0 ? static_cast<size_t>(end) : 0, '\0');
    rewind(stream_);
    size_t n = fread(&out[0], 1, out.size(), stream_);
    out.resize(n);
    fseek(stream_, 0, SEEK_END);
    return out;
}

void EventLogCapture::clear()
{
    fflush(stream_);
    rewind(stream_);
    if (ftruncate(fileno(stream_), 0) != 0)
        throw std::runtime_error("ftruncate failed");
}

} // namespace testing_support
