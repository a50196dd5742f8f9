#include "update/directed_update.h"

#include "inventory/nic_info.h"
#include "lib/bounded_file.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "lib/trusted_directory.h"
#include "lib/xml_input.h"
#include "log/event_log.h"
#include "update/directed_flash.h"
#include "update/directed_report_nodes.h"

#include <fcntl.h>

#include <functional>
#include <string>

namespace {

const XmlLimits kReportLimits = {REPORT_MAX_DEPTH, REPORT_MAX_ATTRIBUTES, REPORT_MAX_ELEMENTS};

int open_failed()
{
    log_event_f(LOG_ERROR, 0, "read_discovery_report: Failed to open %s\n", log_safe(g_XMLDiscoveryReport).c_str());
    return FWUPG_ERR;
}

int parse_failed()
{
    log_event_f(LOG_ERROR, 0, "read_discovery_report: Failed to parse %s\n", log_safe(g_XMLDiscoveryReport).c_str());
    return FWUPG_ERR;
}

int not_read(const std::string& why)
{
    log_event_f(LOG_ERROR, 0, "read_discovery_report: %s %s; it is not read\n", log_safe(g_XMLDiscoveryReport).c_str(),
                why.c_str());
    return FWUPG_ERR;
}

// The whole report, read once from a local regular file within the limits;
// both passes parse this copy.
int read_report_file(std::string& text)
{
    std::string why;
    switch (read_bounded_file(AT_FDCWD, g_XMLDiscoveryReport, REPORT_MAX_BYTES, running_as_root(), &text, &why)) {
    case FileRead::READ:
        why = xml_beyond_limits(text, kReportLimits);
        return why.empty() ? FWUPG_OK : not_read(why);
    case FileRead::REFUSED:
        return not_read("is " + why);
    case FileRead::ABSENT:
    case FileRead::UNREADABLE:
        break;
    }
    return open_failed();
}

// Where a pass stopped: a signal ends the run without a message of its own.
int pass_ended(XmlStep step)
{
    if (step == XmlStep::INTERRUPTED)
        return FWUPG_ERR;
    return step == XmlStep::END ? FWUPG_OK : parse_failed();
}

// One pass over the text, node by node, for as long as visit says so;
// gives where it stopped (NODE when visit ended it).
XmlStep read_pass(const std::string& text, const std::function<bool(xmlTextReaderPtr)>& visit)
{
    XmlReader reader = xml_reader_for_text(text, g_XMLDiscoveryReport);
    if (!reader)
        return XmlStep::MALFORMED;
    XmlStep step;
    while ((step = next_xml_node(reader.get())) == XmlStep::NODE && visit(reader.get())) {
    }
    return step;
}

} // namespace

int load_discovery_report(int& count)
{
    count = 0;
    std::string text;
    if (read_report_file(text) != FWUPG_OK)
        return FWUPG_ERR;

    int devices = 0;
    XmlStep step = read_pass(text, [&devices](xmlTextReaderPtr reader) {
        read_num_device_elements(reader, devices);
        return devices <= REPORT_MAX_DEVICES;
    });
    if (step == XmlStep::NODE) {
        log_event_f(LOG_ERROR, 0, "read_discovery_report: %s lists more than %d devices; nothing is flashed\n",
                    log_safe(g_XMLDiscoveryReport).c_str(), REPORT_MAX_DEVICES);
        return FWUPG_ERR;
    }
    if (pass_ended(step) != FWUPG_OK)
        return FWUPG_ERR;

    g_ninfo.assign(static_cast<size_t>(devices), NicInfo{});
    ReportReadState state;
    step = read_pass(text, [&state, devices](xmlTextReaderPtr reader) {
        const size_t index = static_cast<size_t>(state.record_index);
        process_node(reader, state.record_index < devices ? &g_ninfo[index] : nullptr, state);
        return true;
    });
    if (pass_ended(step) != FWUPG_OK)
        return FWUPG_ERR;
    count = devices;
    return FWUPG_OK;
}

int read_discovery_report()
{
    int count = 0;
    if (load_discovery_report(count) != FWUPG_OK)
        return FWUPG_ERR;
    return flash_report_devices(count);
}
