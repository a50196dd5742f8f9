#include "catalog/fw_catalog.h"

#include "lib/bounded_file.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "lib/trusted_directory.h"
#include "lib/xml_input.h"
#include "log/event_log.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlversion.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

const XmlLimits kCatalogLimits = {CATALOG_MAX_DEPTH, CATALOG_MAX_ATTRIBUTES, CATALOG_MAX_ELEMENTS};

enum class CatalogState { NOT_READ, READ, MISSING, REFUSED, INTERRUPTED };

// The catalog as read once, holding only what a lookup gives back: for each
// element that can answer (all four IDs and an image) one block in texts,
// its identity key, then 'k' when its IDs are the key's four fields or 'x'
// and the four IDs, then name, rom and fwFile, each text ended by a 0.
struct Catalog {
    CatalogState state = CatalogState::NOT_READ;
    std::string refused;  // why, to follow the catalog's name
    std::string texts;
    // Where each block starts, by key and then in document order.
    std::vector<uint32_t> entries;
};

Catalog g_catalog;

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

void append_text(std::string& texts, const std::string& text)
{
    texts.append(text.c_str(), strlen(text.c_str()) + 1);
}

void add_entry(Catalog& catalog, const FirmwareCatalogEntry& e)
{
    const std::string key = identity_of(e);
    const bool fields = e.venid.size() == 4 && e.devid.size() == 4 && e.subvenid.size() == 4 && e.subdevid.size() == 4;
    catalog.entries.push_back(static_cast<uint32_t>(catalog.texts.size()));
    append_text(catalog.texts, key);
    catalog.texts.push_back(fields ? 'k' : 'x');
    if (!fields) {
        for (const std::string* id : {&e.venid, &e.devid, &e.subvenid, &e.subdevid})
            append_text(catalog.texts, *id);
    }
    for (const std::string* text : {&e.name, &e.rom, &e.fwFile})
        append_text(catalog.texts, *text);
}

// The entry of the block at offset, whose key the lookup matched.
FirmwareCatalogEntry entry_at(const Catalog& catalog, uint32_t offset)
{
    const char* p = catalog.texts.c_str() + offset;
    const std::string key = p;
    p += key.size() + 1;
    FirmwareCatalogEntry e;
    std::string* ids[] = {&e.venid, &e.devid, &e.subvenid, &e.subdevid};
    const bool fields = *p++ == 'k';
    for (size_t i = 0; i < 4; ++i) {
        *ids[i] = fields ? key.substr(5 * i, 4) : std::string(p);
        p += fields ? 0 : ids[i]->size() + 1;
    }
    for (std::string* text : {&e.name, &e.rom, &e.fwFile}) {
        *text = p;
        p += text->size() + 1;
    }
    return e;
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
        add_entry(catalog, element);
}

Catalog refused_catalog(const std::string& why)
{
    Catalog catalog;
    catalog.state = CatalogState::REFUSED;
    catalog.refused = why;
    return catalog;
}

// The catalog is root's input as much as the flash tool is: as root it must
// be a file that no one else can change.
Catalog read_catalog()
{
    xmlCheckVersion(20616);
    std::string text, why;
    switch (read_bounded_file(AT_FDCWD, g_XMLFwFile, CATALOG_MAX_BYTES, running_as_root(), &text, &why)) {
    case FileRead::READ:
        break;
    case FileRead::ABSENT:
    case FileRead::UNREADABLE: {
        Catalog missing;
        missing.state = CatalogState::MISSING;
        xmlCleanupParser();
        return missing;
    }
    case FileRead::REFUSED:
        return refused_catalog("is " + why);
    }
    size_t elements = 0;
    why = xml_beyond_limits(text, kCatalogLimits, &elements);
    if (!why.empty())
        return refused_catalog(why);

    Catalog catalog;
    // Reserved, not yet touched: only what is written takes memory.
    catalog.texts.reserve(text.size() + elements * 24);
    catalog.entries.reserve(elements);
    XmlReader reader = xml_reader_for_text(text, g_XMLFwFile);
    XmlStep step = reader ? XmlStep::NODE : XmlStep::MALFORMED;
    while (reader && (step = next_xml_node(reader.get())) == XmlStep::NODE) {
        if (xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT && xmlTextReaderHasAttributes(reader.get()) == 1)
            read_element(reader.get(), catalog);
    }
    if (step == XmlStep::INTERRUPTED) {
        catalog = Catalog{};
        catalog.state = CatalogState::INTERRUPTED;
        return catalog;
    }
    if (step != XmlStep::END) {
        const int line = reader ? xmlTextReaderGetParserLineNumber(reader.get()) : 0;
        return refused_catalog(format_text("is malformed (line %d)", line));
    }
    const char* texts = catalog.texts.c_str();
    std::sort(catalog.entries.begin(), catalog.entries.end(), [texts](uint32_t a, uint32_t b) {
        const int order = strcmp(texts + a, texts + b);
        return order != 0 ? order < 0 : a < b;
    });
    catalog.state = CatalogState::READ;
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
    g_catalog = Catalog{};  // the earlier one is not held beside the new one
    g_catalog = read_catalog();
    switch (g_catalog.state) {
    case CatalogState::READ:
        return FWUPG_OK;
    case CatalogState::MISSING:
        log_missing();
        return FWUPG_ERR;
    case CatalogState::REFUSED:
        log_event_f(LOG_ERROR, 1, "The firmware catalog %s %s; no adapter can be looked up in it.\n", g_XMLFwFile,
                    g_catalog.refused.c_str());
        return FWUPG_ERR;
    default:
        return FWUPG_ERR;  // interrupted: the run says why
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
    const char* texts = g_catalog.texts.c_str();
    auto found = std::lower_bound(g_catalog.entries.begin(), g_catalog.entries.end(), key,
                                  [texts](uint32_t at, const char* k) { return strcmp(texts + at, k) < 0; });
    if (found == g_catalog.entries.end() || strcmp(texts + *found, key) != 0)
        return CATALOG_NOT_FOUND;
    *entry = entry_at(g_catalog, *found);
    return CATALOG_FOUND;
}

void forget_firmware_catalog()
{
    g_catalog = Catalog{};
}
