#pragma once

#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

// Creates a text writer over a new document into the caller's handles and
// writes the declaration, the root, the header and an open `devices`. On
// failure the writer handle stays null and the failure is logged.
void write_XML_start_elements(xmlTextWriterPtr& writer, xmlDocPtr& doc);

// One complete `device` element for the record at index.
void write_XML_device_elements(xmlTextWriterPtr writer, int index);

// The record's `fw_item` elements, one per item type it has.
void write_XML_FW_item(xmlTextWriterPtr writer, int index);
