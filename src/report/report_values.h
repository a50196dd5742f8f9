#pragma once

#include <cstddef>
#include <string>

// Values of a firmware item, each composed into the caller's buffer (cut at
// its end) for the record at index.

// Available version "%d.%d.%d" of img_version.
void build_XML_FW_item_version(const char* item_type, char* out, size_t out_size, int index);
// Installed version "%d.%d.%d" of cur_version.
void build_XML_FW_item_active_version(const char* item_type, char* out, size_t out_size, int index);
// "upgrade", "rewrite" or "downgrade" for a ROM item of a record with
// NIC_HAS_ROM, and NIC_UPDATE on the record for the first two; otherwise out
// is left as it is.
void recommend_XML_FW_action(const char* item_type, char* out, size_t out_size, int index);

// The three parts of a bus location bus:device.function; a part that the
// location lacks is empty.
struct BusParts {
    std::string bus;
    std::string device;
    std::string function;
};
BusParts split_bus_location(const std::string& location);
