#include "probe_test_support.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

namespace probe_testing {

std::string without_line_numbers(const std::string& text)
{
    static const std::regex line_number("dazed-fug,[0-9]+\n");
    return std::regex_replace(text, line_number, "dazed-fug,N\n");
}

bool raw_sockets_allowed()
{
    int fd = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::string command_output(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    pclose(pipe);
    return out;
}

std::string trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\n");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t\n");
    return text.substr(begin, end - begin + 1);
}

} // namespace probe_testing
