#include "update/directed_update.h"

#include "app/arguments.h"
#include "app/event_log.h"
#include "app/return_codes.h"
#include "inventory/nic_info.h"
#include "tool/flash_tool.h"
#include "tool/xml_quiet.h"
#include "update/report_flash.h"
#include "update/report_nodes.h"

#include <libxml/xmlreader.h>

#include <memory>

namespace {

constexpr int READ_END_OF_DOCUMENT = 0;

struct ReaderCloser {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderCloser>;

Reader open_report()
{
    Reader reader(xmlNewTextReaderFilename(g_XMLDiscoveryReport));
    if (!reader)
        log_event_f(LOG_ERROR, 0, "read_discovery_report: Failed to open %s\n", g_XMLDiscoveryReport);
    return reader;
}

int parse_failed()
{
    log_event_f(LOG_ERROR, 0, "read_discovery_report: Failed to parse %s\n", g_XMLDiscoveryReport);
    return FWUPG_ERR;
}

} // namespace

int load_discovery_report(int& count)
{
    quiet_libxml_errors();
    count = 0;
    int rc;
    {
        Reader reader = open_report();
        if (!reader)
            return FWUPG_ERR;
        while ((rc = xmlTextReaderRead(reader.get())) == 1)
            read_num_device_elements(reader.get(), count);
    }
    if (rc != READ_END_OF_DOCUMENT) {
        count = 0;
        return parse_failed();
    }

    g_ninfo.assign(static_cast<size_t>(count), NicInfo{});

    Reader reader = open_report();
    if (!reader)
        return FWUPG_ERR;
    ReportReadState state;
    while ((rc = xmlTextReaderRead(reader.get())) == 1) {
        NicInfo* record = state.record_index < count ? &g_ninfo[static_cast<size_t>(state.record_index)] : nullptr;
        process_node(reader.get(), record, state);
    }
    if (rc != READ_END_OF_DOCUMENT)
        return parse_failed();
    return FWUPG_OK;
}

int read_discovery_report()
{
    // Without the tool every device would read as not listed; say why.
    if (check_flash_tool() != FWUPG_OK)
        return FWUPG_ERR;
    int count = 0;
    if (load_discovery_report(count) != FWUPG_OK)
        return FWUPG_ERR;
    return flash_report_devices(count);
}
