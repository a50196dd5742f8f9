// Reading an input whole, and the limits checked before it is parsed.
#include "lib/bounded_file.h"
#include "lib/xml_input.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

TEST(BoundedFile, OnlyALocalRegularFileWithinItsSizeIsRead)
{
    TempDir dir;
    write_file(dir.file("ten"), "0123456789");
    write_file(dir.file("shared"), "x");
    chmod(dir.file("shared").c_str(), 0664);
    ASSERT_EQ(symlink("ten", dir.file("link").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);  // opening it would block
    make_dirs(dir.file("dir"));
    const struct {
        const char* name;
        size_t max;
        bool trusted;
        FileRead result;
        const char* text_or_why;
    } cases[] = {
        {"ten", 10, false, FileRead::READ, "0123456789"},
        {"ten", 9, false, FileRead::REFUSED, "larger than 9 bytes"},
        {"missing", 10, false, FileRead::ABSENT, ""},
        {"link", 10, false, FileRead::REFUSED, "a symbolic link"},
        {"fifo", 10, false, FileRead::REFUSED, "not a regular file"},
        {"dir", 10, false, FileRead::REFUSED, "not a regular file"},
        {"shared", 10, false, FileRead::READ, "x"},
        {"shared", 10, true, FileRead::REFUSED, "writable by group or others"},
    };
    int dirfd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirfd, 0);
    for (const auto& c : cases) {
        std::string text = "left over", why;
        EXPECT_EQ(read_bounded_file(dirfd, c.name, c.max, c.trusted, &text, &why), c.result) << c.name;
        EXPECT_EQ(c.result == FileRead::READ ? text : why + text, c.text_or_why) << c.name;
    }
    close(dirfd);
}

TEST(XmlLimits, CheckedBeforeTheParserSeesTheText)
{
    const XmlLimits limits = {3, 2, 6};
    const struct {
        const char* name;
        std::string xml;
        const char* beyond;  // "" within the limits
    } cases[] = {
        {"at every limit", "<a x='1' y='2'><b><c/><c></c></b></a>", ""},
        {"an attribute too many", "<a x='1' y='2'\n z='3'/>", "has an element with more than 2 attributes (line 2)"},
        {"signs in values do not count", "<a x='=\"=' y=\"'=>\"/>", ""},
        {"one level too deep", "<a>\n<b><c><d/></c></b></a>", "nests elements deeper than 3 (line 2)"},
        {"closed elements do not nest", "<a><b/><b/><b/></a>", ""},
        {"an element too many", "<a/><a/><a/><a/><a/><a/><a/>", "has more than 6 elements"},
        {"markup in comments, CDATA and instructions", "<a><!-- <b x='1' y='2' z='3'> --><![CDATA[<b><b><b><b>]]>"
                                                       "<?pi <b><b><b><b>?></a>", ""},
        {"document type without declarations", "<!DOCTYPE a SYSTEM 'a.dtd'><a/>", ""},
        {"declarations of its own", "<?xml version='1.0'?>\n<!DOCTYPE a [<!ENTITY e 'x'>]><a/>",
         "has a document type with declarations of its own (line 2)"},
        {"a NUL byte", std::string("<a>\0</a>", 8), "holds a NUL byte, which no XML text in UTF-8 does"},
        {"Latin-1", "<?xml version='1.0' encoding='ISO-8859-1'?><a/>", ""},
        {"UTF-7", "<?xml version='1.0' encoding='UTF-7'?><a/>",
         "is in an encoding other than UTF-8 or one that keeps ASCII as it is"},
        {"EBCDIC", "\x4C\x6F\xA7\x94", "is in an encoding other than UTF-8 or one that keeps ASCII as it is"},
        {"unterminated tag left to the parser", "<a x='1' y='2' z='3'", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xml_beyond_limits(c.xml, limits), c.beyond) << c.name;
}

} // namespace
