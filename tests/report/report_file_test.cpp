// The report goes where its path points, unless another user put it there.
#include "report/report_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace testing_support;

namespace {

const char kReport[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<velor_rom_discovery/>\n";

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::unique_ptr<xmlDoc, DocFree> report_doc()
{
    return std::unique_ptr<xmlDoc, DocFree>(xmlReadMemory(kReport, sizeof kReport - 1, "r.xml", nullptr, 0));
}

mode_t mode_of(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Names in the directory other than the ones expected: no temporary file
// may be left behind.
size_t entries(const std::string& dir)
{
    return split_lines(run_program({"ls", "-A", dir}, dir).out).size();
}

// Each row in a directory of its own; a decoy in the working directory
// catches a relative link read from there instead of from its own.
TEST(ReportFile, RegularTargetsAreReplacedWholeWithTheirMode)
{
    auto doc = report_doc();
    ASSERT_TRUE(doc);
    TempDir elsewhere;
    write_file(elsewhere.file("old.xml"), "decoy");
    ScopedCwd cwd(elsewhere.path());
    const std::string long_name = std::string(246, 'r') + ".xml";
    const mode_t created = 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }();
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> links;  // name, target
        std::string path;
        std::string written;  // the file that must hold the report
        mode_t mode;
    } cases[] = {
        {"existing file", {}, "old.xml", "old.xml", 0640},
        {"symlink to it", {{"link.xml", "old.xml"}}, "link.xml", "old.xml", 0640},
        {"relative link in a subdirectory", {{"sub/link.xml", "old.xml"}}, "sub/link.xml", "sub/old.xml", 0640},
        {"chain of links", {{"a.xml", "sub/b.xml"}, {"sub/b.xml", "../old.xml"}}, "a.xml", "old.xml", 0640},
        {"new file", {}, "new.xml", "new.xml", created},
        {"250-character name", {}, long_name, long_name, created},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        make_dirs(dir.file("sub"));
        for (const char* old : {"old.xml", "sub/old.xml"}) {
            write_file(dir.file(old), "old");
            chmod(dir.file(old).c_str(), 0640);
        }
        for (const auto& [link, target] : c.links)
            ASSERT_EQ(symlink(target, dir.file(link).c_str()), 0);
        const size_t names = entries(dir.path()) + entries(dir.file("sub")) + !file_exists(dir.file(c.written));
        ASSERT_TRUE(save_report_document(doc.get(), dir.file(c.path).c_str()));
        EXPECT_EQ(read_file(dir.file(c.written)), kReport);
        EXPECT_EQ(mode_of(dir.file(c.written)) & 07777, c.mode);
        for (const auto& link : c.links)
            EXPECT_TRUE(S_ISLNK(mode_of(dir.file(link.first))));
        EXPECT_EQ(entries(dir.path()) + entries(dir.file("sub")), names);  // no temporary left
    }
    EXPECT_EQ(read_file(elsewhere.file("old.xml")), "decoy");
}

// Another user's part, played by a child that drops to that user.
bool as_user(uid_t uid, const std::function<int()>& act)
{
    pid_t child = fork();
    if (child == 0)
        _exit(setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0 && act() == 0 ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The kernel's rules for sticky directories that anyone can write to: a
// link, FIFO or file another user left there is not used; elsewhere, or
// root's, it is.
TEST(ReportFile, WhatOthersLeaveInStickyDirectories)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to play another user";
    auto doc = report_doc();
    const struct {
        mode_t dir_mode;
        uid_t owner;
        std::string kind;
        bool used;
    } cases[] = {
        {01777, 65534, "symbolic link", false}, {01777, 65534, "FIFO", false}, {01777, 65534, "file", false},
        {01777, 0, "symbolic link", true},      {01777, 0, "FIFO", true},     {0777, 65534, "symbolic link", true},
        {0777, 65534, "FIFO", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + " of " + std::to_string(c.owner) + " in " + std::to_string(c.dir_mode));
        TempDir dir;
        make_dirs(dir.file("shared"));
        ASSERT_EQ(chmod(dir.path().c_str(), 0755) | chmod(dir.file("shared").c_str(), c.dir_mode), 0);
        write_file(dir.file("victim"), "root only");
        const std::string planted = dir.file("shared/nics.xml");
        ASSERT_TRUE(as_user(c.owner, [&] {
            if (c.kind == "FIFO")
                return mkfifo(planted.c_str(), 0666);
            return c.kind == "file" ? close(creat(planted.c_str(), 0666)) : symlink("../victim", planted.c_str());
        }));
        const int reader = c.kind == "FIFO" ? open(planted.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        std::string why;
        EXPECT_EQ(save_report_document(doc.get(), planted.c_str(), &why), c.used) << why;
        EXPECT_EQ(why, c.used ? "" : "it is a " + c.kind + " owned by user ID 65534 in a sticky directory that anyone "
                                                         "can write to");
        char buf[256] = {};
        if (reader >= 0)
            EXPECT_EQ(read(reader, buf, sizeof buf - 1) > 0, c.used);
        else
            EXPECT_EQ(read_file(c.kind == "file" ? planted : dir.file("victim")) == kReport, c.used);
        close(reader);
    }
}

TEST(ReportFile, OtherTargetsAreWrittenIntoOrRefused)
{
    TempDir dir;
    auto doc = report_doc();
    ASSERT_TRUE(doc);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    int reader = open(dir.file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(save_report_document(doc.get(), dir.file("fifo").c_str()));
    char buf[256] = {};
    EXPECT_EQ(read(reader, buf, sizeof buf - 1), static_cast<ssize_t>(sizeof kReport - 1));
    EXPECT_STREQ(buf, kReport);
    close(reader);
    EXPECT_TRUE(S_ISFIFO(mode_of(dir.file("fifo"))));
    // Without a reader the FIFO refuses at once rather than hold the run.
    EXPECT_FALSE(save_report_document(doc.get(), dir.file("fifo").c_str()));

    // Standard output and a descriptor link to it, here a file.
    int saved = dup(STDOUT_FILENO);
    int out = open(dir.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(out, 0);
    dup2(out, STDOUT_FILENO);
    const bool dash = save_report_document(doc.get(), "-");
    const bool dev_stdout = save_report_document(doc.get(), "/dev/stdout");
    const bool fd_link = save_report_document(doc.get(), ("/proc/self/fd/" + std::to_string(out)).c_str());
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(out);
    EXPECT_TRUE(dash && dev_stdout && fd_link);
    EXPECT_EQ(read_file(dir.file("stdout")), std::string(kReport) + kReport + kReport);

    // Devices: only a terminal, /dev/null and standard output are written.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    EXPECT_TRUE(save_report_document(doc.get(), ptsname(master)) && save_report_document(doc.get(), "/dev/null"));
    char shown[256] = {};
    EXPECT_TRUE(read(master, shown, sizeof shown - 1) > 0 && contains(shown, "<velor_rom_discovery/>"));
    close(master);

    make_dirs(dir.file("a-directory"));
    const std::pair<std::string, const char*> refused[] = {
        {"/dev/zero", "it is a device other than a terminal, /dev/null or standard output"},
        {"/dev/full", "it is a device other than a terminal, /dev/null or standard output"},
        {dir.file("a-directory"), "it is a directory"},
        {dir.file("no/such/x.xml"), "No such file or directory"},
        {"", "no report or no path"},
    };
    for (const auto& [path, reason] : refused) {
        std::string why;
        EXPECT_FALSE(save_report_document(doc.get(), path.c_str(), &why)) << path;
        EXPECT_EQ(why, reason) << path;
    }
}

} // namespace
