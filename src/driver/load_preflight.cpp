#include "driver/load_preflight.h"

#include "lib/host_seam.h"

#include <fcntl.h>
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

bool carries_signature(const std::string& path)
{
    const size_t size = sizeof kSignatureTrailer - 1;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    char tail[sizeof kSignatureTrailer] = "";
    const off_t end = lseek(fd, 0, SEEK_END);
    const bool read_whole = end >= static_cast<off_t>(size) && pread(fd, tail, size, end - size) == static_cast<ssize_t>(size);
    close(fd);
    return read_whole && memcmp(tail, kSignatureTrailer, size) == 0;
}

} // namespace

std::string module_load_refusal(const std::string& module_path)
{
    const std::string demand = kernel_demand();
    if (demand.empty() || carries_signature(module_path))
        return "";
    return demand;
}
