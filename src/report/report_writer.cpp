#include "report/report_writer.h"

#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "log/event_log.h"
#include "report/report_format.h"
#include "report/report_values.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const xmlChar* xml_text(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// A data element: self-closed, its datum in the one attribute `value`.
void write_value_element(xmlTextWriterPtr writer, const char* name, const char* value)
{
    char bounded[REPORT_VALUE_SIZE];
    copy_report_value(bounded, sizeof bounded, value);
    xmlTextWriterStartElement(writer, xml_text(name));
    xmlTextWriterWriteAttribute(writer, xml_text("value"), xml_text(bounded));
    xmlTextWriterEndElement(writer);
}

struct NamedValue {
    const char* name;
    const char* value;
};

struct ElementValue {
    ReportElement element;
    const char* value;
};

void start_with_values(xmlTextWriterPtr writer, ReportElement container, const ElementValue* elements,
                          size_t count)
{
    xmlTextWriterStartElement(writer, xml_text(report_element_name(container)));
    for (size_t i = 0; i < count; ++i)
        write_value_element(writer, report_element_name(elements[i].element), elements[i].value);
}

const NamedValue kHeader[] = {
    {"type", "DAZED_NIC"},
    {"alt_name", "Tarkwell"},
    {"version", "0.0.0 "},
    {"takes_effect", "reboot"},
};

std::string hex_id(uint32_t id)
{
    return format_text("%04X", id);
}

std::vector<const char*> item_types(const NicInfo& nic)
{
    std::vector<const char*> types;
    if (nic.flags & NIC_HAS_ROM)
        types.push_back(REPORT_ITEM_ROM);
    return types;
}

} // namespace

void write_XML_start_elements(xmlTextWriterPtr& writer, xmlDocPtr& doc)
{
    writer = xmlNewTextWriterDoc(&doc, 0);
    if (writer == nullptr) {
        log_event_f(LOG_ERROR, 0, "write_XML_start_elements: Error creating teh xml writer\n");
        return;
    }
    xmlTextWriterSetIndent(writer, 1);
    xmlTextWriterSetIndentString(writer, xml_text("    "));
    xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr);
    xmlTextWriterStartElement(writer, xml_text("velor_rom_discovery"));
    xmlTextWriterWriteAttribute(writer, xml_text("version"), xml_text("0.0.0.0"));
    for (const NamedValue& element : kHeader)
        write_value_element(writer, element.name, element.value);
    xmlTextWriterStartElement(writer, xml_text("devices"));
}

void write_XML_device_elements(xmlTextWriterPtr writer, int index)
{
    const NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    const BusParts bus = split_bus_location(nic.bus_location);
    const std::string venid = hex_id(nic.venid);
    const std::string devid = hex_id(nic.devid);
    const std::string subvenid = hex_id(nic.subvenid);
    const std::string subdevid = hex_id(nic.subdevid);

    const ElementValue elements[] = {
        {ReportElement::DEVICE_ID, nic.device_id.c_str()},
        {ReportElement::VENID, venid.c_str()},
        {ReportElement::DEVID, devid.c_str()},
        {ReportElement::SUBVENID, subvenid.c_str()},
        {ReportElement::SUBDEVID, subdevid.c_str()},
        {ReportElement::MACADDRESS, nic.macaddress.c_str()},
        {ReportElement::PRODUCT_ID, nic.product_id.c_str()},
        {ReportElement::BUSNUMBER, bus.bus.c_str()},
        {ReportElement::DEVICENUMBER, bus.device.c_str()},
        {ReportElement::FUNCNUMBER, bus.function.c_str()},
        {ReportElement::SLOTNUMBER, nic.slotnumber.c_str()},
        {ReportElement::NICTYPE, "DAZED"},
    };

    start_with_values(writer, ReportElement::DEVICE, elements, sizeof elements / sizeof elements[0]);
    write_XML_FW_item(writer, index);
    xmlTextWriterEndElement(writer);
}

void write_XML_FW_item(xmlTextWriterPtr writer, int index)
{
    for (const char* type : item_types(g_ninfo[static_cast<size_t>(index)])) {
        char version[REPORT_VALUE_SIZE] = "";
        char active_version[REPORT_VALUE_SIZE] = "";
        char action[REPORT_VALUE_SIZE] = "";
        build_XML_FW_item_version(type, version, sizeof version, index);
        build_XML_FW_item_active_version(type, active_version, sizeof active_version, index);
        recommend_XML_FW_action(type, action, sizeof action, index);
        const char* duration = strstr(type, REPORT_ITEM_ROM) != nullptr ? "210" : "0";

        const ElementValue elements[] = {
            {ReportElement::TYPE, type},
            {ReportElement::FIRMWARE_ID, ""},
            {ReportElement::VERSION, version},
            {ReportElement::ACTIVE_VERSION, active_version},
            {ReportElement::ACTION, action},
            {ReportElement::DURATION, duration},
            {ReportElement::MESSAGE, ""},
            {ReportElement::SHARED, "no"},
        };
        start_with_values(writer, ReportElement::FW_ITEM, elements, sizeof elements / sizeof elements[0]);
        xmlTextWriterEndElement(writer);
    }
}
