// The checked copy that staging and restore trust.
#include "driver/module_files.h"
#include "lib/sha256.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace testing_support;

namespace {

std::string sha_of(const std::string& text)
{
    Sha256 sha;
    sha.update(text.data(), text.size());
    return sha.hex_digest();
}

int open_dir(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A copy takes the name only whole and with the digest it was promised.
TEST(FileSteps, CheckedCopy)
{
    const struct {
        const char* name;
        const char* before;  // at the name; null: nothing
        bool replace;
        bool right_digest;
        int rc;
        const char* after;   // null: nothing
    } cases[] = {
        {"new name", nullptr, false, true, 0, "module"},
        {"over the old", "old", true, true, 0, "module"},
        {"wrong digest", "old", true, false, EILSEQ, "old"},
        {"wrong digest, new name", nullptr, false, false, EILSEQ, nullptr},
        {"name taken", "old", false, true, EEXIST, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_file(dir.file("src"), "module");
        if (c.before != nullptr)
            write_file(dir.file("dst"), c.before);
        int src = open(dir.file("src").c_str(), O_RDONLY | O_CLOEXEC);
        int dirfd = open_dir(dir.path());
        lseek(src, 3, SEEK_SET);  // read from the start whatever the offset
        EXPECT_EQ(copy_checked(src, dirfd, "dst", c.replace, sha_of(c.right_digest ? "module" : "modul"), 0640), c.rc);
        close(src);
        close(dirfd);
        EXPECT_EQ(file_exists(dir.file("dst")) ? read_file(dir.file("dst")) : "-", c.after ? c.after : "-");
        struct stat st {};
        if (c.rc == 0 && stat(dir.file("dst").c_str(), &st) == 0)
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(run_program({"/bin/sh", "-c", "ls -A"}, dir.path()).out, c.after ? "dst\nsrc\n" : "src\n");  // no temporary left
    }
}

} // namespace
