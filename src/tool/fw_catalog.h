#pragma once

#include <string>

// Attribute names of a catalog element.
extern const char g_XMLNicName[];    // "name"
extern const char g_XMLVenId[];      // "venid"
extern const char g_XMLDevId[];      // "devid"
extern const char g_XMLSubVenId[];   // "subvenid"
extern const char g_XMLSubDevId[];   // "subdevid"
extern const char g_XMLrom[];        // "rom"
extern const char g_XMLFwImage[];    // "fwFile"

// Result of a lookup. A field keeps its text from one element (and one
// call) to the next until an attribute of its name replaces it.
struct FirmwareCatalogEntry {
    std::string name;
    std::string venid;
    std::string devid;
    std::string subvenid;
    std::string subdevid;
    std::string rom;
    std::string fwFile;
};

constexpr int CATALOG_FOUND = 1;
constexpr int CATALOG_NOT_FOUND = 2;

// Looks the PCI identity key "%04X-%04X-%04X-%04X" up in the catalog.
// Returns CATALOG_FOUND or CATALOG_NOT_FOUND (also for a missing or broken
// catalog).
int read_NIC_FW_xml_file(const char* key, FirmwareCatalogEntry* entry);

// The catalog key of a PCI identity.
std::string pci_identity_key(unsigned venid, unsigned devid, unsigned subvenid, unsigned subdevid);
