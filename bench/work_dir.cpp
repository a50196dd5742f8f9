#include "work_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace bench {

WorkDir::WorkDir()
{
    char tmpl[] = "/tmp/dazed-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    fs::create_directories(file("nic_fw"));
    fs::create_directories(file("durivozo"));
}

WorkDir::~WorkDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void write_text_file(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::string read_text_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t count_lines(const std::string& path)
{
    std::string text = read_text_file(path);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

void write_simulated_tool(const WorkDir& dir, const std::string& simulator,
                          const std::vector<BenchAdapter>& adapters)
{
    fs::copy_file(simulator, dir.file("bootutil"), fs::copy_options::overwrite_existing);
    fs::permissions(dir.file("bootutil"), fs::perms::owner_all, fs::perm_options::add);

    std::string state = "# benchmark host\n";
    for (const BenchAdapter& a : adapters) {
        state += "adapter nic=" + std::to_string(a.nic_number) + " mac=" + a.mac + " psid=BENCH-" +
                 std::to_string(a.nic_number) + " combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7\n";
    }
    for (const BenchAdapter& a : adapters) {
        if (fs::exists(dir.file("nic_fw/" + a.image)))
            continue;  // one image per model
        state += "image file=" + a.image + " psid=BENCH-" + std::to_string(a.nic_number) +
                 " combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n";
        write_text_file(dir.file("nic_fw/" + a.image), "simulated firmware image " + a.image + "\n");
    }
    write_text_file(dir.file("bootutil-sim.state"), state);
}

void write_catalog(const WorkDir& dir, int entries, bool last_first)
{
    std::string path = dir.file("nic_fw/NICFWData.xml");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<NICFWData>\n";
    for (int i = 0; i < entries; ++i) {
        BenchAdapter a = make_adapter(last_first ? entries - 1 - i : i);
        char ids[64];
        snprintf(ids, sizeof ids, "venid=\"%04X\" devid=\"%04X\" subvenid=\"%04X\" subdevid=\"%04X\"", a.venid,
                 a.devid, a.subvenid, a.subdevid);
        out << "  <NIC name=\"Bench Adapter " << a.nic_number << "\" " << ids << " fwFile=\"" << a.image << "\"/>\n";
    }
    out << "</NICFWData>\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

} // namespace bench
