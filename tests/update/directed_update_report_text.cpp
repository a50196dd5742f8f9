#include "directed_update_report_text.h"

namespace directed_update_test {

namespace {

std::string element(const std::string& indent, const std::string& name, const std::string& value)
{
    return indent + "<" + name + " value=\"" + value + "\"/>\n";
}

} // namespace

std::string device_xml(const DeviceText& d)
{
    const std::string in = "            ";
    std::string xml = "        <device>\n";
    xml += element(in, "device_id", d.device_id) + element(in, "venid", d.venid) + element(in, "devid", d.devid) +
           element(in, "subvenid", d.subvenid) + element(in, "subdevid", d.subdevid) +
           element(in, "macaddress", d.macaddress) + element(in, "product_id", d.product_id) +
           element(in, "busnumber", d.busnumber) + element(in, "devicenumber", d.devicenumber) +
           element(in, "funcnumber", d.funcnumber) + element(in, "slotnumber", "") +
           element(in, "nictype", "DAZED");
    const std::string item = in + "    ";
    xml += in + "<fw_item>\n";
    if (d.item_has_type)
        xml += element(item, "type", d.type);
    xml += element(item, "firmware_id", "") + element(item, "version", d.version) +
           element(item, "active_version", d.active_version) + element(item, "action", d.action) +
           element(item, "duration", "210") + element(item, "message", "") + element(item, "shared", "no");
    xml += in + "</fw_item>\n        </device>\n";
    return xml;
}

std::string report_xml(const std::string& devices_body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<velor_rom_discovery version=\"0.0.0.0\">\n"
           "    <type value=\"DAZED_NIC\"/>\n"
           "    <alt_name value=\"Tarkwell\"/>\n"
           "    <version value=\"0.0.0 \"/>\n"
           "    <takes_effect value=\"reboot\"/>\n"
           "    <devices>\n" +
           devices_body + "    </devices>\n</velor_rom_discovery>\n";
}

std::string report_xml(const std::vector<DeviceText>& devices)
{
    std::string body;
    for (const DeviceText& d : devices)
        body += device_xml(d);
    return report_xml(body);
}

} // namespace directed_update_test
