// The report goes where its path points, whatever stands there.
#include "report/report_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(ReportFile, RegularTargetsAreReplacedWholeWithTheirMode)
{
    TempDir dir;
    auto doc = report_doc();
    ASSERT_TRUE(doc);
    write_file(dir.file("old.xml"), "old");
    chmod(dir.file("old.xml").c_str(), 0640);
    ASSERT_EQ(symlink("old.xml", dir.file("link.xml").c_str()), 0);
    const std::string long_name(250, 'r');

    const struct {
        const char* name;
        std::string path;
        std::string written;  // the file that must hold the report
        mode_t mode;
    } cases[] = {
        {"existing file", dir.file("old.xml"), dir.file("old.xml"), 0640},
        {"symlink to it", dir.file("link.xml"), dir.file("old.xml"), 0640},
        {"new file", dir.file("new.xml"), dir.file("new.xml"), 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }()},
        {"250-character name", dir.file(long_name), dir.file(long_name), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(save_report_document(doc.get(), c.path.c_str()));
        EXPECT_EQ(read_file(c.written), kReport);
        if (c.mode != 0) {
            EXPECT_EQ(mode_of(c.written) & 07777, c.mode);
        }
    }
    EXPECT_TRUE(S_ISLNK(mode_of(dir.file("link.xml"))));
    EXPECT_EQ(entries(dir.path()), 4u);
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

    make_dirs(dir.file("a-directory"));
    for (const std::string& refused : {std::string("/dev/full"), dir.file("a-directory"), dir.file("no/such/x.xml"),
                                       std::string("")})
        EXPECT_FALSE(save_report_document(doc.get(), refused.c_str())) << refused;
}

} // namespace
