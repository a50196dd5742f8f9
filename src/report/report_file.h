#pragma once

#include <libxml/tree.h>

#include <string>

// Writes the document as UTF-8 where path points. "-" is standard output.
// A path that does not exist or names a regular file (after its symlinks
// are followed, so a link stays a link) is replaced whole or not at all,
// keeping the file's permission bits. A FIFO, a terminal, /dev/null, the
// program's own standard output, or what a descriptor link such as
// /dev/stdout stands for is written into directly. A link, FIFO or file
// that another user left in a sticky directory that anyone can write to is
// not used, nor is any other device. Returns false on any failure, and says why
// in *why (when given).
bool save_report_document(xmlDocPtr doc, const char* path, std::string* why = nullptr);
