#include "invocation_log.h"

#include "sim_paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <vector>

namespace bootutil_sim {

namespace {

std::vector<std::string> read_cmdline(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> words;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        words.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

bool is_shell_name(const std::string& argv0)
{
    std::string name = base_name(argv0);
    if (!name.empty() && name[0] == '-')  // a login shell
        name.erase(0, 1);
    return name == "sh" || name == "dash" || name == "bash";
}

} // namespace

std::string parent_shell_command()
{
    std::vector<std::string> words = read_cmdline(getppid());
    if (words.size() < 3 || !is_shell_name(words[0]) || words[1] != "-c")
        return "";
    return words[2];
}

std::string invocation_log_line(int argc, char* const* argv, const std::string& shell_command)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    line += '\t';
    for (char c : shell_command) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    return line;
}

bool append_invocation(const std::string& log_path, const std::string& line)
{
    int fd = open(log_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ssize_t written;
    do {
        written = write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    bool ok = written == static_cast<ssize_t>(line.size());
    if (close(fd) != 0)
        ok = false;
    return ok;
}

} // namespace bootutil_sim
