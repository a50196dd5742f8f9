#include "update/directed_update.h"

#include "app/event_log.h"
#include "inventory/nic_info.h"
#include "lib/report_path.h"
#include "lib/return_codes.h"
#include "lib/xml_quiet.h"
#include "update/directed_flash.h"
#include "update/directed_report_nodes.h"

#include <fcntl.h>
#include <libxml/xmlreader.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

namespace {

constexpr int READ_END_OF_DOCUMENT = 0;

// Network access and entity loading are never wanted; the report is read
// from memory, so nothing is fetched or decompressed behind our back.
constexpr int kReaderOptions = XML_PARSE_NONET;

struct ReaderCloser {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderCloser>;

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

// The whole report, read once from a local regular file of bounded size;
// both passes parse this copy.
int read_report_file(std::string& text)
{
    int fd = open(g_XMLDiscoveryReport, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return open_failed();
    struct stat st {};
    int rc = FWUPG_OK;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        log_event_f(LOG_ERROR, 0, "read_discovery_report: %s is not a regular file\n", log_safe(g_XMLDiscoveryReport).c_str());
        rc = FWUPG_ERR;
    } else if (st.st_size > static_cast<off_t>(REPORT_MAX_BYTES)) {
        log_event_f(LOG_ERROR, 0, "read_discovery_report: %s is larger than %zu bytes; it is not read\n",
                    log_safe(g_XMLDiscoveryReport).c_str(), REPORT_MAX_BYTES);
        rc = FWUPG_ERR;
    } else {
        // One byte more than allowed tells a file that grew meanwhile.
        text.resize(REPORT_MAX_BYTES + 1);
        size_t got = 0;
        while (got < text.size()) {
            ssize_t n = read(fd, &text[got], text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n < 0)
                    rc = open_failed();
                break;
            }
            got += static_cast<size_t>(n);
        }
        text.resize(got);
        if (rc == FWUPG_OK && got > REPORT_MAX_BYTES) {
            log_event_f(LOG_ERROR, 0, "read_discovery_report: %s is larger than %zu bytes; it is not read\n",
                        log_safe(g_XMLDiscoveryReport).c_str(), REPORT_MAX_BYTES);
            rc = FWUPG_ERR;
        }
    }
    close(fd);
    return rc;
}

Reader open_reader(const std::string& text)
{
    return Reader(xmlReaderForMemory(text.data(), static_cast<int>(text.size()), g_XMLDiscoveryReport, nullptr,
                                     kReaderOptions));
}

} // namespace

int load_discovery_report(int& count)
{
    quiet_libxml_errors();
    count = 0;
    std::string text;
    if (read_report_file(text) != FWUPG_OK)
        return FWUPG_ERR;

    int rc;
    {
        Reader reader = open_reader(text);
        if (!reader)
            return open_failed();
        while ((rc = xmlTextReaderRead(reader.get())) == 1) {
            read_num_device_elements(reader.get(), count);
            if (count > REPORT_MAX_DEVICES) {
                log_event_f(LOG_ERROR, 0, "read_discovery_report: %s lists more than %d devices; nothing is flashed\n",
                            log_safe(g_XMLDiscoveryReport).c_str(), REPORT_MAX_DEVICES);
                count = 0;
                return FWUPG_ERR;
            }
        }
    }
    if (rc != READ_END_OF_DOCUMENT) {
        count = 0;
        return parse_failed();
    }

    g_ninfo.assign(static_cast<size_t>(count), NicInfo{});

    Reader reader = open_reader(text);
    if (!reader)
        return open_failed();
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
    int count = 0;
    if (load_discovery_report(count) != FWUPG_OK)
        return FWUPG_ERR;
    return flash_report_devices(count);
}
