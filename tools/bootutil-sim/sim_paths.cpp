#include "sim_paths.h"

#include <unistd.h>

#include <cstdlib>

namespace bootutil_sim {

namespace {

const char kStateName[] = "bootutil-sim.state";
const char kLogName[] = "bootutil-sim.log";

std::string env_or_empty(const char* name)
{
    const char* value = getenv(name);
    return value != nullptr ? value : "";
}

std::string executable_directory()
{
    std::string buf(4096, '\0');
    ssize_t len = readlink("/proc/self/exe", &buf[0], buf.size() - 1);
    if (len <= 0)
        return ".";
    buf.resize(static_cast<size_t>(len));
    return directory_of(buf);
}

} // namespace

std::string directory_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string base_name(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string state_file_path()
{
    std::string path = env_or_empty("BOOTUTIL_SIM_STATE");
    if (!path.empty())
        return path;
    return executable_directory() + "/" + kStateName;
}

std::string log_file_path(const std::string& state_path)
{
    std::string path = env_or_empty("BOOTUTIL_SIM_LOG");
    if (!path.empty())
        return path;
    return directory_of(state_path) + "/" + kLogName;
}

} // namespace bootutil_sim
