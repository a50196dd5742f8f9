// The durable writes and the checked open that staging, restore and the
// readers trust, one table each.
#include "lib/durable_file.h"
#include "lib/trusted_directory.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace testing_support;

namespace {

int open_dir(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Only what a killed run left goes: a file under a temporary's name that no
// living writer holds.
TEST(FileSteps, StaleTemporaries)
{
    const struct {
        const char* name;
        const char* kind;  // "file", "held", "dir", "link"
        bool removed;
    } cases[] = {
        {".dazed-aB3xY9", "file", true},  {".dazed-aB3xY9", "held", false}, {".dazed-aB3xY9", "dir", false},
        {".dazed-aB3xY9", "link", false}, {".dazed-aB3xY", "file", false},  {".dazed-aB3xY90", "file", false},
        {".dazed-aB3x_9", "file", false}, {"dazed-aB3xY9x", "file", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.kind);
        TempDir dir;
        int dirfd = open_dir(dir.path());
        const std::string kind = c.kind;
        std::unique_ptr<PendingFile> writer;
        if (kind == "dir")
            make_dirs(dir.file(c.name));
        else if (kind == "link")
            symlinkat("target", dirfd, c.name);
        else
            write_file(dir.file(c.name), "half");
        write_file(dir.file("target"), "kept");
        if (kind == "held") {
            // A living writer's file under that name.
            writer = std::make_unique<PendingFile>(dirfd, 0600);
            unlink(dir.file(c.name).c_str());
            ASSERT_EQ(run_program({"/bin/sh", "-c", "mv .dazed-* " + std::string(c.name) + " 2>/dev/null; ls -A"},
                                  dir.path()).exit_status, 0);
        }
        EXPECT_EQ(remove_stale_temporaries(dirfd), c.removed ? 1 : 0);
        EXPECT_NE(access(dir.file(c.name).c_str(), F_OK) == 0 || kind == "link", c.removed);
        EXPECT_EQ(read_file(dir.file("target")), "kept");
        close(dirfd);
    }
}

uid_t as_root()
{
    return 0;
}

// As root (through the seam) a file must be regular, owned by root or the
// caller, and writable by no one else; one link to a plain name in the same
// directory is followed.
TEST(FileSteps, CheckedOpen)
{
    const struct {
        const char* name;
        const char* setup;
        bool follow_link;
        const char* why;  // "" when it opens
    } cases[] = {
        {"plain", "echo m > f", false, ""},
        {"group-writable", "echo m > f; chmod 664 f", false, "is writable by group or others"},
        {"other-writable", "echo m > f; chmod 646 f", false, "is writable by group or others"},
        {"not writable by owner", "echo m > f; chmod 444 f", false, ""},
        {"directory", "mkdir f", false, "is not a regular file"},
        {"missing", ":", false, "cannot be opened (No such file or directory)"},
        {"link, not followed", "echo m > g; ln -s g f", false, "is a symbolic link"},
        {"link to a plain name", "echo m > g; ln -s g f", true, ""},
        {"link to a writable file", "echo m > g; chmod 666 g; ln -s g f", true, "is writable by group or others"},
        {"link out of the directory", "mkdir d; echo m > d/g; ln -s d/g f", true,
         "is a symbolic link out of its directory"},
        {"link upwards", "ln -s ../g f", true, "is a symbolic link out of its directory"},
        {"link to a link", "echo m > h; ln -s h g; ln -s g f", true, "is a symbolic link"},
        {"owned by another user", "echo m > f; chown 65534 f", false, "is owned by user ID 65534"},
    };
    ScopedHostSeam seam;
    seam->effective_uid = as_root;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "owned by another user" && geteuid() != 0)
            continue;  // only root can give a file away
        TempDir dir;
        ASSERT_EQ(run_program({"/bin/sh", "-c", std::string("umask 022; ") + c.setup}, dir.path()).exit_status, 0);
        int dirfd = open_dir(dir.path());
        std::string why;
        int fd = open_checked_file(dirfd, "f", c.follow_link, &why);
        EXPECT_EQ(fd >= 0 ? "" : why, c.why);
        if (fd >= 0)
            close(fd);
        close(dirfd);
    }
}

} // namespace
