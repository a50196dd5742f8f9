#include "tool/fw_catalog.h"

#include "app/event_log.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "lib/xml_quiet.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlversion.h>

#include <memory>
#include <unordered_map>
#include <vector>

const char g_XMLNicName[] = "name";
const char g_XMLVenId[] = "venid";
const char g_XMLDevId[] = "devid";
const char g_XMLSubVenId[] = "subvenid";
const char g_XMLSubDevId[] = "subdevid";
const char g_XMLrom[] = "rom";
const char g_XMLFwImage[] = "fwFile";

namespace {

struct CatalogAttribute {
    const char* name;
    std::string FirmwareCatalogEntry::*field;
};

const CatalogAttribute kCatalogAttributes[] = {
    {g_XMLNicName, &FirmwareCatalogEntry::name},   {g_XMLVenId, &FirmwareCatalogEntry::venid},
    {g_XMLDevId, &FirmwareCatalogEntry::devid},    {g_XMLSubVenId, &FirmwareCatalogEntry::subvenid},
    {g_XMLSubDevId, &FirmwareCatalogEntry::subdevid}, {g_XMLrom, &FirmwareCatalogEntry::rom},
    {g_XMLFwImage, &FirmwareCatalogEntry::fwFile},
};

enum class CatalogState { NOT_READ, READ, MISSING, MALFORMED };

// The catalog as read once: each element with its own attributes, and the
// first element with an image for each identity, in document order.
struct Catalog {
    CatalogState state = CatalogState::NOT_READ;
    int error_line = 0;
    std::vector<FirmwareCatalogEntry> elements;
    std::unordered_map<std::string, size_t> first_with_image;
};

Catalog g_catalog;

struct ReaderCloser {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

const CatalogAttribute* find_attribute(const xmlChar* name)
{
    for (const CatalogAttribute& attribute : kCatalogAttributes) {
        if (xmlStrcmp(name, reinterpret_cast<const xmlChar*>(attribute.name)) == 0)
            return &attribute;
    }
    return nullptr;
}

// The IDs are right-aligned in four columns, so only four upper-case digits
// each can equal a key, and an ID the element lacks never matches.
std::string identity_of(const FirmwareCatalogEntry& e, bool has_all_ids)
{
    if (!has_all_ids)
        return "";
    return format_text("%4s-%4s-%4s-%4s", e.venid.c_str(), e.devid.c_str(), e.subvenid.c_str(), e.subdevid.c_str());
}

// One element's attributes, whatever their order; nothing carries over
// from the element before.
void read_element(xmlTextReaderPtr reader, Catalog& catalog)
{
    FirmwareCatalogEntry element;
    unsigned seen = 0;
    const int count = xmlTextReaderAttributeCount(reader);
    for (int i = 0; i < count; ++i) {
        if (xmlTextReaderMoveToNextAttribute(reader) != 1)
            continue;
        const CatalogAttribute* attribute = find_attribute(xmlTextReaderConstName(reader));
        if (attribute == nullptr)
            continue;
        const xmlChar* value = xmlTextReaderConstValue(reader);
        element.*(attribute->field) = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        seen |= 1u << (attribute - kCatalogAttributes);
    }
    const unsigned ids = 1u << 1 | 1u << 2 | 1u << 3 | 1u << 4;
    const bool has_image = (seen & 1u << 6) != 0;
    const std::string identity = identity_of(element, (seen & ids) == ids);
    catalog.elements.push_back(std::move(element));
    // An element without an image does not answer for its identity; a later
    // one with the same identity may.
    if (has_image && !identity.empty())
        catalog.first_with_image.emplace(identity, catalog.elements.size() - 1);
}

Catalog read_catalog()
{
    Catalog catalog;
    xmlCheckVersion(20616);
    quiet_libxml_errors();
    std::unique_ptr<xmlTextReader, ReaderCloser> reader(xmlReaderForFile(g_XMLFwFile, nullptr, 0));
    if (!reader) {
        catalog.state = CatalogState::MISSING;
        xmlCleanupParser();
        return catalog;
    }
    int rc;
    while ((rc = xmlTextReaderRead(reader.get())) == 1) {
        if (xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT && xmlTextReaderHasAttributes(reader.get()) == 1)
            read_element(reader.get(), catalog);
    }
    if (rc != 0) {
        catalog.state = CatalogState::MALFORMED;
        catalog.error_line = xmlTextReaderGetParserLineNumber(reader.get());
        catalog.elements.clear();
        catalog.first_with_image.clear();
    } else {
        catalog.state = CatalogState::READ;
    }
    return catalog;
}

void log_missing()
{
    log_event_f(LOG_ERROR, 1, "Unable to open %s\n", g_XMLFwFile);
}

} // namespace

std::string pci_identity_key(unsigned venid, unsigned devid, unsigned subvenid, unsigned subdevid)
{
    return format_text("%04X-%04X-%04X-%04X", venid, devid, subvenid, subdevid);
}

int load_firmware_catalog()
{
    g_catalog = read_catalog();
    switch (g_catalog.state) {
    case CatalogState::READ:
        return FWUPG_OK;
    case CatalogState::MISSING:
        log_missing();
        return FWUPG_ERR;
    default:
        log_event_f(LOG_ERROR, 1, "The firmware catalog %s is malformed (line %d); no adapter can be looked up in it.\n",
                    g_XMLFwFile, g_catalog.error_line);
        return FWUPG_ERR;
    }
}

int read_NIC_FW_xml_file(const char* key, FirmwareCatalogEntry* entry)
{
    if (g_catalog.state == CatalogState::NOT_READ)
        g_catalog = read_catalog();
    if (g_catalog.state == CatalogState::MISSING)
        log_missing();
    if (g_catalog.state != CatalogState::READ || key == nullptr)
        return CATALOG_NOT_FOUND;
    auto found = g_catalog.first_with_image.find(key);
    if (found == g_catalog.first_with_image.end())
        return CATALOG_NOT_FOUND;
    *entry = g_catalog.elements[found->second];
    return CATALOG_FOUND;
}

void forget_firmware_catalog()
{
    g_catalog = Catalog{};
}
