#pragma once

#include <cstddef>

// Every value of the discovery report is composed in a buffer of this size,
// on writing as on reading: a longer text is cut at 4095 bytes.
constexpr size_t REPORT_VALUE_SIZE = 4096;

// The report's elements under a device: the writer writes them, the
// directed update reads them, both by these names.
enum class ReportElement {
    DEVICE,
    DEVICE_ID,
    VENID,
    DEVID,
    SUBVENID,
    SUBDEVID,
    MACADDRESS,
    PRODUCT_ID,
    BUSNUMBER,
    DEVICENUMBER,
    FUNCNUMBER,
    SLOTNUMBER,
    NICTYPE,
    FW_ITEM,
    TYPE,
    FIRMWARE_ID,
    VERSION,
    ACTIVE_VERSION,
    ACTION,
    DURATION,
    MESSAGE,
    SHARED,
};

// "device", "device_id", ..., "shared".
const char* report_element_name(ReportElement element);

// The only firmware item type; an item whose type contains it is the combo
// option ROM.
extern const char REPORT_ITEM_ROM[];  // "ROM"

// Copies text into out (null counts as empty), cut to fit. The cut falls on
// a UTF-8 character boundary, so a cut value is still well-formed XML text.
void copy_report_value(char* out, size_t out_size, const char* text);
