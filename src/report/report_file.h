#pragma once

#include <libxml/tree.h>

// Saves the document as UTF-8 to a temporary file beside path and renames
// it onto path, so that an earlier file of that name is either replaced
// whole or left as it was. Returns false on any failure, after removing the
// temporary file.
bool save_report_document(xmlDocPtr doc, const char* path);
