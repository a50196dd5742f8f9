#include "update/directed_report_nodes.h"

#include "lib/bounded_text.h"
#include "log/event_log.h"
#include "tool/tool_output.h"
#include "update/axtoi.h"

#include <cstring>
#include <string>

namespace {

constexpr int NODE_ELEMENT_START = 1;
constexpr int NODE_ELEMENT_END = 15;

constexpr size_t kBusInfoSize = 32;


void store_text(NicInfo& record, std::string NicInfo::*field, const char* value)
{
    record.*field = value;
}

void store_hex(NicInfo& record, uint32_t NicInfo::*field, const char* value)
{
    record.*field = static_cast<uint32_t>(axtoi(value));
}

// Any of these words anywhere in the action marks the adapter; case counts.
const char* const kFlashingActions[] = {"upgrade", "rewrite", "downgrade"};

// The bus parts come before the action within a device, so the location is
// composed here.
void apply_action(NicInfo& record, const char* value)
{
    for (const char* word : kFlashingActions) {
        if (strstr(value, word) != nullptr) {
            record.flags |= NIC_UPDATE;
            break;
        }
    }
    char bus_info[kBusInfoSize];
    format_bounded(bus_info, sizeof bus_info, "%s:%s.%s", record.busnumber.c_str(),
                   record.devicenumber.c_str(), record.funcnumber.c_str());
    record.bus_location = bus_info;
}

enum class Apply { TEXT, HEX, ITEM_TYPE, ACTIVE_VERSION, ACTION };

// What reading each element does; the names are the report format's own.
struct ReportField {
    ReportElement element;
    Apply apply;
    std::string NicInfo::*text;
    uint32_t NicInfo::*number;
};

const ReportField kReportFields[] = {
    {ReportElement::DEVICE_ID, Apply::TEXT, &NicInfo::device_id, nullptr},
    {ReportElement::VENID, Apply::HEX, nullptr, &NicInfo::venid},
    {ReportElement::DEVID, Apply::HEX, nullptr, &NicInfo::devid},
    {ReportElement::SUBVENID, Apply::HEX, nullptr, &NicInfo::subvenid},
    {ReportElement::SUBDEVID, Apply::HEX, nullptr, &NicInfo::subdevid},
    {ReportElement::MACADDRESS, Apply::TEXT, &NicInfo::macaddress, nullptr},
    {ReportElement::PRODUCT_ID, Apply::TEXT, &NicInfo::product_id, nullptr},
    {ReportElement::BUSNUMBER, Apply::TEXT, &NicInfo::busnumber, nullptr},
    {ReportElement::DEVICENUMBER, Apply::TEXT, &NicInfo::devicenumber, nullptr},
    {ReportElement::FUNCNUMBER, Apply::TEXT, &NicInfo::funcnumber, nullptr},
    {ReportElement::SLOTNUMBER, Apply::TEXT, &NicInfo::slotnumber, nullptr},
    {ReportElement::VERSION, Apply::TEXT, &NicInfo::reported_version, nullptr},
    {ReportElement::TYPE, Apply::ITEM_TYPE, nullptr, nullptr},
    {ReportElement::ACTIVE_VERSION, Apply::ACTIVE_VERSION, nullptr, nullptr},
    {ReportElement::ACTION, Apply::ACTION, nullptr, nullptr},
};

const ReportField* find_field(const char* name)
{
    for (const ReportField& field : kReportFields) {
        if (strcmp(report_element_name(field.element), name) == 0)
            return &field;
    }
    return nullptr;
}

void apply_value(const ReportField& element, NicInfo* record, ReportReadState& state, const char* value)
{
    if (element.apply == Apply::ITEM_TYPE) {
        copy_report_value(state.item_type, sizeof state.item_type, value);
        return;
    }
    if (record == nullptr)
        return;
    switch (element.apply) {
    case Apply::TEXT:
        store_text(*record, element.text, value);
        break;
    case Apply::HEX:
        store_hex(*record, element.number, value);
        break;
    case Apply::ACTIVE_VERSION:
        read_FW_cur_version(*record, state.item_type, value);
        break;
    case Apply::ACTION:
        apply_action(*record, value);
        break;
    case Apply::ITEM_TYPE:
        break;
    }
}

const char* node_name(xmlTextReaderPtr reader)
{
    return reinterpret_cast<const char*>(xmlTextReaderConstName(reader));
}

} // namespace

void read_num_device_elements(xmlTextReaderPtr reader, int& count)
{
    const char* name = node_name(reader);
    if (name != nullptr && xmlTextReaderNodeType(reader) == NODE_ELEMENT_START && strcmp(name, report_element_name(ReportElement::DEVICE)) == 0)
        ++count;
}

void process_node(xmlTextReaderPtr reader, NicInfo* record, ReportReadState& state)
{
    const char* name = node_name(reader);
    if (name == nullptr)
        return;
    int type = xmlTextReaderNodeType(reader);
    if (type == NODE_ELEMENT_END && strcmp(name, report_element_name(ReportElement::DEVICE)) == 0) {
        ++state.record_index;
        return;
    }
    if (type != NODE_ELEMENT_START)
        return;
    const ReportField* element = find_field(name);
    if (element == nullptr)
        return;
    // Every attribute counts, whatever its name, in document order.
    while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
        char value[REPORT_VALUE_SIZE];
        copy_report_value(value, sizeof value, reinterpret_cast<const char*>(xmlTextReaderConstValue(reader)));
        apply_value(*element, record, state, value);
    }
}

void read_FW_cur_version(NicInfo& record, const char* item_type, const char* version)
{
    if (version == nullptr || strstr(version, "n/a") != nullptr)
        return;
    RomVersion parsed{};
    parseversions(version, &parsed.major, &parsed.minor, &parsed.build);
    if (item_type == nullptr || strstr(item_type, REPORT_ITEM_ROM) == nullptr) {
        log_event_f(LOG_ERROR, 0, "read_FW_cur_version: Error Wrong image type\n");
        return;
    }
    record.cur_version = parsed;
    record.flags |= NIC_HAS_ROM;
}
