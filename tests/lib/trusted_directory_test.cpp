// The trust check as a caller other than root meets it: a child that drops
// to an unprivileged user, the seam saying effective user ID 0 (or not).
#include "lib/trusted_directory.h"
#include "support/scoped_host_seam.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

using namespace testing_support;

namespace {

constexpr uid_t kCaller = 65534;
constexpr uid_t kOther = 65533;
bool g_seam_says_root = true;

uid_t seam_uid()
{
    return g_seam_says_root ? 0 : kCaller;
}

// Whether untrusted_working_directory(), run in dir as the caller, says why.
bool says_as_caller(const std::string& dir, const std::string& why)
{
    pid_t child = fork();
    if (child == 0) {
        ScopedHostSeam seam;
        seam->effective_uid = seam_uid;
        const bool became = setgroups(0, nullptr) == 0 && setgid(kCaller) == 0 && setuid(kCaller) == 0;
        const std::string said = became && chdir(dir.c_str()) == 0 ? untrusted_working_directory() : "no caller";
        fprintf(stderr, "%s", said == why ? "" : ("it said: " + said + "\n").c_str());
        _exit(said == why ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(TrustCheck, AsACallerOtherThanRoot)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to play another caller and to give files to other users";
    const struct {
        const char* entry;
        uid_t owner;
        mode_t mode;
        bool seam_says_root;
        const char* why;
    } cases[] = {
        {"bootutil", kCaller, 0755, true, ""},
        {"bootutil", 0, 0755, true, ""},
        {"bootutil", kOther, 0755, true, "./bootutil is owned by user ID 65533"},
        {"bootutil", kCaller, 0775, true, "./bootutil is writable by group or others"},
        {"bootutil", 0, 0757, true, "./bootutil is writable by group or others"},
        {"bootutil", kOther, 0777, false, ""},  // not root: nothing to protect
        {"nic_fw", kOther, 0700, true, "./nic_fw/ is owned by user ID 65533"},
        {"durivozo", 0, 0775, true, "./durivozo/ is writable by group or others"},
        {".", kOther, 0755, true, "the working directory is owned by user ID 65533"},
        {".", kCaller, 01777, true, "the working directory is writable by group or others"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " " + std::to_string(c.owner));
        TempDir top;
        const std::string wd = top.file("wd"), entry = wd + "/" + c.entry;
        make_dirs(wd);
        if (std::string(c.entry) == "bootutil")
            write_file(entry, "#!/bin/sh\n");
        else if (std::string(c.entry) != ".")
            make_dirs(entry);
        ASSERT_TRUE(chmod(top.path().c_str(), 0755) == 0 && chown(wd.c_str(), kCaller, kCaller) == 0 &&
                    chown(entry.c_str(), c.owner, c.owner) == 0 && chmod(entry.c_str(), c.mode) == 0);
        g_seam_says_root = c.seam_says_root;
        EXPECT_TRUE(says_as_caller(wd, c.why)) << c.why;
    }
}

} // namespace
