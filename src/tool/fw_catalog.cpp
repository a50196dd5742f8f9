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

const char g_XMLNicName[] = "name";
const char g_XMLVenId[] = "venid";
const char g_XMLDevId[] = "devid";
const char g_XMLSubVenId[] = "subvenid";
const char g_XMLSubDevId[] = "subdevid";
const char g_XMLrom[] = "rom";
const char g_XMLFwImage[] = "fwFile";

namespace {

// What an attribute is to the match: one of the four IDs, the image, or
// just a text the entry carries.
enum class Role { TEXT, ID, IMAGE };

struct CatalogAttribute {
    const char* name;
    std::string FirmwareCatalogEntry::*field;
    Role role;
};

const CatalogAttribute kCatalogAttributes[] = {
    {g_XMLNicName, &FirmwareCatalogEntry::name, Role::TEXT},
    {g_XMLVenId, &FirmwareCatalogEntry::venid, Role::ID},
    {g_XMLDevId, &FirmwareCatalogEntry::devid, Role::ID},
    {g_XMLSubVenId, &FirmwareCatalogEntry::subvenid, Role::ID},
    {g_XMLSubDevId, &FirmwareCatalogEntry::subdevid, Role::ID},
    {g_XMLrom, &FirmwareCatalogEntry::rom, Role::TEXT},
    {g_XMLFwImage, &FirmwareCatalogEntry::fwFile, Role::IMAGE},
};

enum class CatalogState { NOT_READ, READ, MISSING, MALFORMED };

// The catalog as read once: for each identity, the first element in
// document order that names an image.
struct Catalog {
    CatalogState state = CatalogState::NOT_READ;
    int error_line = 0;
    std::unordered_map<std::string, FirmwareCatalogEntry> first_with_image;
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
// each can equal a key.
std::string identity_of(const FirmwareCatalogEntry& e)
{
    return format_text("%4s-%4s-%4s-%4s", e.venid.c_str(), e.devid.c_str(), e.subvenid.c_str(), e.subdevid.c_str());
}

// One element's attributes, whatever their order; nothing carries over
// from the element before.
void read_element(xmlTextReaderPtr reader, Catalog& catalog)
{
    FirmwareCatalogEntry element;
    int ids = 0;
    bool has_image = false;
    const int count = xmlTextReaderAttributeCount(reader);
    for (int i = 0; i < count; ++i) {
        if (xmlTextReaderMoveToNextAttribute(reader) != 1)
            continue;
        const CatalogAttribute* attribute = find_attribute(xmlTextReaderConstName(reader));
        if (attribute == nullptr)
            continue;
        const xmlChar* value = xmlTextReaderConstValue(reader);
        element.*(attribute->field) = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        ids += attribute->role == Role::ID;
        has_image = has_image || attribute->role == Role::IMAGE;
    }
    // An element without all four IDs never matches; one without an image
    // does not answer for its identity, and a later one with it may.
    if (ids == 4 && has_image)
        catalog.first_with_image.emplace(identity_of(element), std::move(element));
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
    *entry = found->second;
    return CATALOG_FOUND;
}

void forget_firmware_catalog()
{
    g_catalog = Catalog{};
}
