#include "lib/xml_input.h"

#include "lib/bounded_text.h"
#include "lib/interrupts.h"
#include "lib/xml_quiet.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

class Scan {
public:
    explicit Scan(const std::string& text) : begin_(text.data()), p_(begin_), end_(begin_ + text.size()) {}

    bool done() const { return p_ >= end_; }
    // Moves just past the next '<'; false when there is none.
    bool to_markup()
    {
        const void* lt = memchr(p_, '<', static_cast<size_t>(end_ - p_));
        p_ = lt != nullptr ? static_cast<const char*>(lt) + 1 : end_;
        return lt != nullptr;
    }
    bool skip(const char* prefix)
    {
        const size_t n = strlen(prefix);
        if (static_cast<size_t>(end_ - p_) < n || memcmp(p_, prefix, n) != 0)
            return false;
        p_ += n;
        return true;
    }
    // Moves past the next closing text, or to the end.
    void past(const char* closing)
    {
        const char* at = std::search(p_, end_, closing, closing + strlen(closing));
        p_ = at == end_ ? end_ : at + strlen(closing);
    }
    // Moves onto the '>' that ends a tag, skipping quoted values; counts the
    // '=' outside them (one per attribute) and notes a '[' outside them.
    void to_tag_end(int* equals, bool* bracket)
    {
        char quote = 0;
        for (; p_ < end_; ++p_) {
            const char c = *p_;
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++*equals;
            } else if (c == '[') {
                *bracket = true;
            } else if (c == '>') {
                return;
            }
        }
    }
    const char* at() const { return p_; }
    void step() { ++p_; }
    int line() const { return 1 + static_cast<int>(std::count(begin_, p_, '\n')); }

private:
    const char* begin_;
    const char* p_;
    const char* end_;
};

// The scan takes the markup's bytes for ASCII, so only encodings that keep
// ASCII as it is are read: not EBCDIC, none with NUL bytes (UTF-16,
// UTF-32), and no declared encoding but these.
struct Encoding {
    const char* name;
    bool prefix;  // names a family: ISO-8859-1, ISO-8859-15, ...
};

const Encoding kAsciiEncodings[] = {
    {"UTF-8", false},     {"UTF8", false},     {"US-ASCII", false}, {"ASCII", false},      {"ISO-8859-", true},
    {"ISO8859-", true},   {"ISO_8859-", true}, {"LATIN", true},     {"WINDOWS-125", true}, {"CP125", true},
};

bool ascii_encoding(const std::string& name)
{
    for (const Encoding& e : kAsciiEncodings) {
        const size_t n = strlen(e.name);
        if ((e.prefix ? name.size() > n : name.size() == n) && strncasecmp(name.c_str(), e.name, n) == 0)
            return true;
    }
    return false;
}

bool keeps_ascii(const std::string& text)
{
    if (text.compare(0, 4, "\x4C\x6F\xA7\x94") == 0)
        return false;
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (text.compare(start, 5, "<?xml") != 0)
        return true;
    const size_t declaration_end = text.find("?>", start);
    const size_t at = text.find("encoding", start);
    if (at == std::string::npos || at > declaration_end)
        return true;
    const size_t quote = text.find_first_of("\"'", at);
    const size_t value_end = quote < declaration_end ? text.find(text[quote], quote + 1) : std::string::npos;
    if (value_end == std::string::npos)
        return true;  // the parser finds the declaration malformed
    return ascii_encoding(text.substr(quote + 1, value_end - quote - 1));
}

} // namespace

std::string xml_beyond_limits(const std::string& text, const XmlLimits& limits, size_t* elements)
{
    size_t count = 0;
    if (elements != nullptr)
        *elements = 0;
    if (memchr(text.data(), '\0', text.size()) != nullptr)
        return "holds a NUL byte, which no XML text in UTF-8 does";
    if (!keeps_ascii(text))
        return "is in an encoding other than UTF-8 or one that keeps ASCII as it is";
    Scan scan(text);
    int depth = 0;
    std::string beyond;
    while (beyond.empty() && scan.to_markup()) {
        if (scan.skip("!--")) {
            scan.past("-->");
        } else if (scan.skip("![CDATA[")) {
            scan.past("]]>");
        } else if (scan.skip("?")) {
            scan.past("?>");
        } else {
            const bool declaration = scan.skip("!");
            const bool end_tag = !declaration && scan.skip("/");
            int attributes = 0;
            bool bracket = false;
            scan.to_tag_end(&attributes, &bracket);
            if (scan.done())
                break;  // unterminated: the parser says so
            const bool self_closed = scan.at()[-1] == '/';
            if (declaration) {
                if (bracket)
                    beyond = format_text("has a document type with declarations of its own (line %d)", scan.line());
            } else if (end_tag) {
                --depth;
            } else if (++count > limits.max_elements) {
                beyond = format_text("has more than %zu elements", limits.max_elements);
            } else if (attributes > limits.max_attributes) {
                beyond = format_text("has an element with more than %d attributes (line %d)", limits.max_attributes,
                                     scan.line());
            } else if (depth + 1 > limits.max_depth) {
                beyond = format_text("nests elements deeper than %d (line %d)", limits.max_depth, scan.line());
            } else if (!self_closed) {
                ++depth;
            }
            scan.step();
        }
    }
    if (elements != nullptr)
        *elements = count;
    return beyond;
}

XmlReader xml_reader_for_text(const std::string& text, const char* url)
{
    quiet_libxml_errors();
    // From memory libxml2 neither decompresses nor opens anything; NONET
    // keeps it off the network for what the text itself names.
    return XmlReader(xmlReaderForMemory(text.data(), static_cast<int>(text.size()), url, nullptr, XML_PARSE_NONET));
}

XmlStep next_xml_node(xmlTextReaderPtr reader)
{
    if (interrupted())
        return XmlStep::INTERRUPTED;
    switch (xmlTextReaderRead(reader)) {
    case 1:
        return XmlStep::NODE;
    case 0:
        return XmlStep::END;
    default:
        return XmlStep::MALFORMED;
    }
}
