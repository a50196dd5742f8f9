#include "report/report_format.h"

#include <cstring>

const char REPORT_ITEM_ROM[] = "ROM";

namespace {

const char* const kElementNames[] = {
    "device",   "device_id",  "venid",   "devid",          "subvenid", "subdevid",  "macaddress",
    "product_id", "busnumber", "devicenumber", "funcnumber", "slotnumber", "nictype", "fw_item",
    "type",     "firmware_id", "version", "active_version", "action",   "duration",  "message",
    "shared",
};
static_assert(sizeof kElementNames / sizeof kElementNames[0] == static_cast<size_t>(ReportElement::SHARED) + 1,
              "one name for each element");

} // namespace

const char* report_element_name(ReportElement element)
{
    return kElementNames[static_cast<size_t>(element)];
}

namespace {

bool is_utf8_continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

void copy_report_value(char* out, size_t out_size, const char* text)
{
    if (out == nullptr || out_size == 0)
        return;
    if (text == nullptr)
        text = "";
    size_t len = strnlen(text, out_size);
    if (len == out_size) {
        len = out_size - 1;
        // Back off to the lead byte of a character that the cut would split.
        size_t lead = len;
        while (lead > 0 && is_utf8_continuation(text[lead]))
            --lead;
        len = lead;
    }
    memcpy(out, text, len);
    out[len] = '\0';
}
