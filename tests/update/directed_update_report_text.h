#pragma once

// Discovery reports as text, for the tests of the directed update.
#include <string>
#include <vector>

namespace directed_update_test {

struct DeviceText {
    std::string device_id = "eth2";
    std::string venid = "8086", devid = "10C9", subvenid = "8086", subdevid = "A02C";
    std::string macaddress = "001B21123456";
    std::string product_id = "Dual Port Gigabit Server Adapter";
    std::string busnumber = "0b", devicenumber = "00", funcnumber = "0";
    bool item_has_type = true;
    std::string type = "ROM";
    std::string version = "1.3.21";
    std::string active_version = "1.2.8";
    std::string action = "upgrade";
};

// One device element in the writer's layout.
std::string device_xml(const DeviceText& device);
// Declaration, root, header and the given text inside `devices`.
std::string report_xml(const std::string& devices_body);
std::string report_xml(const std::vector<DeviceText>& devices);

} // namespace directed_update_test
