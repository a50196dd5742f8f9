#include "targets.h"

#include "sim_paths.h"

#include <sys/stat.h>

#include <cstdio>

namespace bootutil_sim {

StateLine* image_for_path(HostState& state, const std::string& path)
{
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        printf("Error: Cannot open image file %s\n", path.c_str());
        return nullptr;
    }
    StateLine* image = find_image(state, base_name(path));
    if (image == nullptr)
        printf("Error: %s is not a valid firmware image\n", path.c_str());
    return image;
}

StateLine* adapter_for_number(HostState& state, const std::string& nic_text)
{
    if (nic_text.empty()) {
        printf("Error: No NIC number given\n");
        return nullptr;
    }
    StateLine* adapter = find_adapter(state, nic_text);
    if (adapter == nullptr)
        printf("Error: NIC %s not found\n", nic_text.c_str());
    return adapter;
}

} // namespace bootutil_sim
