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

// The fuzzer's bytes as a text.
inline std::string bytes(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The bytes as a text in a buffer of exactly that many bytes and a
// terminator, so that any read past the terminator is caught.
std::vector<char> terminated_text(const uint8_t* data, size_t size);

// Sends standard output to /dev/null, so that console texts do not flood
// the fuzzer's output.
void mute_stdout();

// Points g_XMLDiscoveryReport at report.xml in the scratch directory.
void use_scratch_report();

} // namespace fuzz_support
