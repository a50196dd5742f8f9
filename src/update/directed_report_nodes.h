#pragma once

#include "inventory/nic_info.h"
#include "report/report_format.h"

#include <libxml/xmlreader.h>

// What the second pass over a discovery report carries from node to node.
struct ReportReadState {
    // The record that field elements fill; advances at each end of `device`.
    int record_index = 0;
    // The value of the last `type` element met, the header's included.
    char item_type[REPORT_VALUE_SIZE] = "";
};

// Adds one to count when the node starts a `device` element.
void read_num_device_elements(xmlTextReaderPtr reader, int& count);

// Applies one node to the record at state.record_index (null when that index
// lies past the table: its fields are dropped) and to the state.
void process_node(xmlTextReaderPtr reader, NicInfo* record, ReportReadState& state);

// Sets the record's installed version from a ROM item's version text.
void read_FW_cur_version(NicInfo& record, const char* item_type, const char* version);
