#pragma once

// Helpers shared by the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz_support {

// A checked property of the code under test; a violation is a finding.
void require(bool condition, const char* what);

// A directory under $TMPDIR (or /tmp) made at first use and removed when
// the process exits.
const std::string& scratch_dir();

// Writes the bytes to path, replacing the file.
void write_bytes(const std::string& path, const uint8_t* data, size_t size);

// The bytes as a text in a buffer of exactly that many bytes and a
// terminator, so that any read past the terminator is caught.
std::vector<char> terminated_text(const uint8_t* data, size_t size);

// Sends standard output to /dev/null, so that console texts do not flood
// the fuzzer's output.
void mute_stdout();

// Points g_XMLDiscoveryReport at report.xml in the scratch directory.
void use_scratch_report();

// Works in dir for the life of the object; relative paths given to the
// fuzzer keep their meaning between inputs.
class InDirectory {
public:
    explicit InDirectory(const std::string& dir);
    ~InDirectory();
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    std::string previous_;
};

} // namespace fuzz_support
