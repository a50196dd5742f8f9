#include "fuzz_support.h"

#include "lib/bounded_text.h"
#include "lib/run_state.h"
#include "support/test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz_support {

namespace {

// A harness failure is not a finding; stop loudly all the same.
[[noreturn]] void harness_failure(const char* what)
{
    perror(what);
    abort();
}

} // namespace

void require(bool condition, const char* what)
{
    if (condition)
        return;
    fprintf(stderr, "property violated: %s\n", what);
    abort();
}

const std::string& scratch_dir()
{
    static const testing_support::TempDir scratch;
    return scratch.path();
}

std::vector<char> terminated_text(const uint8_t* data, size_t size)
{
    std::vector<char> text(size + 1, '\0');
    if (size != 0)
        memcpy(text.data(), data, size);
    return text;
}

void mute_stdout()
{
    if (freopen("/dev/null", "w", stdout) == nullptr)
        harness_failure("/dev/null");
}

void use_scratch_report()
{
    const std::string path = scratch_dir() + "/report.xml";
    require(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, path.c_str()), "report path");
}

} // namespace fuzz_support
