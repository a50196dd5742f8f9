#include "fuzz_support.h"

#include "lib/bounded_text.h"
#include "lib/run_state.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fuzz_support {

namespace {

std::string g_scratch;

void remove_scratch()
{
    std::error_code ignored;
    if (!g_scratch.empty())
        std::filesystem::remove_all(g_scratch, ignored);
}

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
    if (g_scratch.empty()) {
        // The runner points TMPDIR at its own scratch directory, which it
        // removes even after a crash has skipped the exit handler.
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/dazed-fuzz-XXXXXX";
        if (mkdtemp(templ.data()) == nullptr)
            harness_failure("mkdtemp");
        g_scratch = templ;
        atexit(remove_scratch);
    }
    return g_scratch;
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        harness_failure(path.c_str());
    if (size != 0 && fwrite(data, 1, size, f) != size)
        harness_failure(path.c_str());
    if (fclose(f) != 0)
        harness_failure(path.c_str());
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

InDirectory::InDirectory(const std::string& dir)
{
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr)
        harness_failure("getcwd");
    previous_ = cwd;
    free(cwd);
    if (chdir(dir.c_str()) != 0)
        harness_failure(dir.c_str());
}

InDirectory::~InDirectory()
{
    if (chdir(previous_.c_str()) != 0)
        harness_failure(previous_.c_str());
}

void use_scratch_report()
{
    const std::string path = scratch_dir() + "/report.xml";
    require(copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, path.c_str()), "report path");
}

} // namespace fuzz_support
