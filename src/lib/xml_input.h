#pragma once

#include <libxml/xmlreader.h>

#include <cstddef>
#include <memory>
#include <string>

// What a document may ask of the parser. libxml2 compares each attribute of
// an element with every one before it, so one element with 100,000
// attributes costs minutes; and a document type of its own can make a short
// text expand or carry attributes that no start tag shows. Both are refused
// in one linear pass before the parser sees the text.
struct XmlLimits {
    int max_depth;
    int max_attributes;  // of one element
    size_t max_elements;
};

// Gives "" when the text stays within the limits, or what it does beyond
// them, to follow its name: "has an element with more than 8 attributes
// (line 3)", "nests elements deeper than 16 (line 9)", "has more than 100
// elements", "has a document type with declarations of its own (line 2)",
// or that it holds a NUL byte or is in an encoding that does not keep ASCII
// as it is (which the scan could not read). A malformed text is left for
// the parser to find. *elements, when given, is set to the number of
// elements.
std::string xml_beyond_limits(const std::string& text, const XmlLimits& limits, size_t* elements = nullptr);

struct XmlReaderFree {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using XmlReader = std::unique_ptr<xmlTextReader, XmlReaderFree>;

// A streaming reader over the text as it stands in memory: nothing is
// fetched, loaded or decompressed, and libxml2 prints nothing. url names
// the document; it is never opened. The text must outlive the reader.
XmlReader xml_reader_for_text(const std::string& text, const char* url);

enum class XmlStep { NODE, END, MALFORMED, INTERRUPTED };

// Moves the reader to its next node, unless a termination signal has
// arrived: the reading loops stop within one node of it.
XmlStep next_xml_node(xmlTextReaderPtr reader);
