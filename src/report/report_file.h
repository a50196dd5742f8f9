#pragma once

#include <libxml/tree.h>

// Writes the document as UTF-8 where path points. "-" is standard output.
// A path that does not exist or names a regular file (after its symlinks
// are followed, so a link stays a link) is replaced whole or not at all,
// keeping the file's permission bits. A FIFO, a character device or a
// descriptor link such as /dev/stdout is written into directly. Anything
// else is refused. Returns false on any failure.
bool save_report_document(xmlDocPtr doc, const char* path);
