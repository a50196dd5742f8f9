#include "driver/load_preflight.h"

#include "lib/host_seam.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const char kSignatureTrailer[] = "~Module signature appended~\n";

std::string first_line_of(const char* host_file)
{
    std::ifstream in(host_path(host_file));
    std::string line;
    std::getline(in, line);
    return line;
}

std::string kernel_demand()
{
    const std::string lockdown = first_line_of(HOST_LOCKDOWN);
    for (const char* mode : {"[integrity]", "[confidentiality]"}) {
        if (lockdown.find(mode) != std::string::npos)
            return std::string("is locked down (") + std::string(mode + 1, strlen(mode) - 2) + ")";
    }
    if (first_line_of(HOST_SIG_ENFORCE) == "Y")
        return "enforces module signatures";
    return "";
}

bool carries_signature(int fd)
{
    const size_t size = sizeof kSignatureTrailer - 1;
    char tail[sizeof kSignatureTrailer] = "";
    struct stat st {};
    const bool read_whole = fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(size) &&
                            pread(fd, tail, size, st.st_size - static_cast<off_t>(size)) == static_cast<ssize_t>(size);
    return read_whole && memcmp(tail, kSignatureTrailer, size) == 0;
}

} // namespace

std::string module_load_refusal(int module_fd)
{
    const std::string demand = kernel_demand();
    if (demand.empty() || carries_signature(module_fd))
        return "";
    return demand;
}
