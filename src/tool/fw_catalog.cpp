#include "tool/fw_catalog.h"

#include "app/bounded_text.h"
#include "app/config.h"
#include "app/event_log.h"
#include "tool/xml_quiet.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlversion.h>

#include <cstring>

const char g_XMLNicName[] = "name";
const char g_XMLVenId[] = "venid";
const char g_XMLDevId[] = "devid";
const char g_XMLSubVenId[] = "subvenid";
const char g_XMLSubDevId[] = "subdevid";
const char g_XMLrom[] = "rom";
const char g_XMLFwImage[] = "fwFile";

namespace {

enum class AttributeAction { STORE, STORE_AND_MATCH, STORE_AND_FINISH };

struct CatalogAttribute {
    const char* name;
    std::string FirmwareCatalogEntry::*field;
    AttributeAction action;
};

const CatalogAttribute kCatalogAttributes[] = {
    {g_XMLNicName, &FirmwareCatalogEntry::name, AttributeAction::STORE},
    {g_XMLVenId, &FirmwareCatalogEntry::venid, AttributeAction::STORE},
    {g_XMLDevId, &FirmwareCatalogEntry::devid, AttributeAction::STORE},
    {g_XMLSubVenId, &FirmwareCatalogEntry::subvenid, AttributeAction::STORE},
    {g_XMLSubDevId, &FirmwareCatalogEntry::subdevid, AttributeAction::STORE_AND_MATCH},
    {g_XMLrom, &FirmwareCatalogEntry::rom, AttributeAction::STORE},
    {g_XMLFwImage, &FirmwareCatalogEntry::fwFile, AttributeAction::STORE_AND_FINISH},
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
// each can equal the key.
bool identity_matches(const FirmwareCatalogEntry& entry, const char* key)
{
    std::string formed = format_text("%4s-%4s-%4s-%4s", entry.venid.c_str(), entry.devid.c_str(),
                                     entry.subvenid.c_str(), entry.subdevid.c_str());
    return formed == key;
}

} // namespace

std::string pci_identity_key(unsigned venid, unsigned devid, unsigned subvenid, unsigned subdevid)
{
    return format_text("%04X-%04X-%04X-%04X", venid, devid, subvenid, subdevid);
}

int read_NIC_FW_xml_file(const char* key, FirmwareCatalogEntry* entry)
{
    int result = 2;
    xmlCheckVersion(20616);
    quiet_libxml_errors();

    xmlTextReaderPtr reader = xmlReaderForFile(g_XMLFwFile, nullptr, 0);
    if (reader == nullptr) {
        log_event_f(LOG_ERROR, 1, "Unable to open %s\n", g_XMLFwFile);
        xmlCleanupParser();
        return result;
    }

    while (xmlTextReaderRead(reader) == 1) {
        int count = xmlTextReaderAttributeCount(reader);
        for (int i = 0; i < count; ++i) {
            if (xmlTextReaderMoveToNextAttribute(reader) != 1)
                continue;
            const CatalogAttribute* attribute = find_attribute(xmlTextReaderConstName(reader));
            if (attribute == nullptr)
                continue;
            const xmlChar* value = xmlTextReaderConstValue(reader);
            entry->*(attribute->field) = value != nullptr ? reinterpret_cast<const char*>(value) : "";
            if (attribute->action == AttributeAction::STORE_AND_FINISH) {
                xmlFreeTextReader(reader);
                return CATALOG_FOUND;
            }
            if (attribute->action == AttributeAction::STORE_AND_MATCH &&
                !identity_matches(*entry, key != nullptr ? key : ""))
                break;
        }
    }
    xmlFreeTextReader(reader);
    xmlCleanupParser();
    return result;
}
