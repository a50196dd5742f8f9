#pragma once

#include "scripted_host.h"

#include <string>
#include <vector>

namespace bench {

// A fresh directory under /tmp, laid out like an unpacked component package,
// removed with everything in it.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The simulator as ./bootutil, its state with the adapters and their images,
// and the image files.
void write_simulated_tool(const WorkDir& dir, const std::string& simulator,
                          const std::vector<BenchAdapter>& adapters);

// nic_fw/NICFWData.xml with the elements of models 0 to entries - 1, in
// that order or, with last_first, from the last to the first (so that the
// low models stand at the end); written as it is generated, so that a large
// catalog does not add to the peak memory of the process.
void write_catalog(const WorkDir& dir, int entries, bool last_first = false);

void write_text_file(const std::string& path, const std::string& text);
std::string read_text_file(const std::string& path);
size_t count_lines(const std::string& path);

} // namespace bench
