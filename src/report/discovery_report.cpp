#include "report/discovery_report.h"

#include "inventory/nic_info.h"
#include "inventory/nic_list.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "lib/xml_quiet.h"
#include "log/event_log.h"
#include "report/report_file.h"
#include "report/report_writer.h"

#include <libxml/xmlerror.h>

namespace {

// The writer feeds a parser that builds the document; a value it cannot take
// (a control character, broken UTF-8) stops that parser, the writer still
// reports success and the document is silently cut short. Every error that
// libxml2 raises while the document is built is counted instead.
class LibxmlErrorCount {
public:
    LibxmlErrorCount() { xmlSetStructuredErrorFunc(this, count_error); }
    ~LibxmlErrorCount() { quiet_libxml_errors(); }
    LibxmlErrorCount(const LibxmlErrorCount&) = delete;
    LibxmlErrorCount& operator=(const LibxmlErrorCount&) = delete;
    int errors() const { return errors_; }

private:
    static void count_error(void* self, xmlErrorPtr) { ++static_cast<LibxmlErrorCount*>(self)->errors_; }
    int errors_ = 0;
};

int report_not_written(const std::string& why = "")
{
    log_event_f(LOG_ERROR, 0, "xml_discovery_report: Failed to write %s%s%s%s\n",
                log_safe(g_XMLDiscoveryReport).c_str(), why.empty() ? "" : " (", why.c_str(), why.empty() ? "" : ")");
    return FWUPG_ERR;
}

} // namespace

int xml_discovery_report()
{
    quiet_libxml_errors();
    xmlTextWriterPtr writer = nullptr;
    xmlDocPtr doc = nullptr;
    int errors;
    {
        LibxmlErrorCount count;
        write_XML_start_elements(writer, doc);
        for (int i = 0; i < g_nNics && static_cast<size_t>(i) < g_ninfo.size(); ++i) {
            if (g_ninfo[static_cast<size_t>(i)].flags & NIC_HAS_ROM)
                write_XML_device_elements(writer, i);
        }
        int ended = xmlTextWriterEndDocument(writer);
        if (ended < 0 || count.errors() != 0) {
            log_event_f(LOG_ERROR, 0, "Error at XmlTextWriterEndDocument\n");
            if (writer != nullptr)
                xmlFreeTextWriter(writer);
            xmlFreeDoc(doc);
            return report_not_written();
        }
        // Releasing the writer completes the document.
        xmlFreeTextWriter(writer);
        errors = count.errors();
    }
    std::string why;
    bool saved = errors == 0 && save_report_document(doc, g_XMLDiscoveryReport, &why);
    xmlFreeDoc(doc);
    return saved ? FWUPG_OK : report_not_written(why);
}

int discover_HW()
{
    if (build_NIC_list() != FWUPG_OK)
        return FWUPG_ERR;
    if (g_nDazedNICs == 0) {
        log_event_f(LOG_ERROR, 0, "No supported adapters found\n");
        return FWUPG_ERR;
    }
    if (xml_discovery_report() != FWUPG_OK)
        return FWUPG_ERR;
    log_event_f(LOG_INFO, 0, "NIC Discovery XML successfully created.\n");
    return left_out_result(FWUPG_OK);
}
