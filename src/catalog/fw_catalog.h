#pragma once

#include <cstddef>
#include <string>

// A catalog of 10,000 adapters takes about 1.3 MB, 10,000 elements two
// levels deep with seven attributes each. These limits leave ten times that,
// and keep what a catalog can cost to well under a second and a few tens of
// MiB.
constexpr size_t CATALOG_MAX_BYTES = 16 * 1024 * 1024;
constexpr size_t CATALOG_MAX_ELEMENTS = 100000;
constexpr int CATALOG_MAX_DEPTH = 16;
constexpr int CATALOG_MAX_ATTRIBUTES = 32;

// Attribute names of a catalog element.
extern const char g_XMLNicName[];    // "name"
extern const char g_XMLVenId[];      // "venid"
extern const char g_XMLDevId[];      // "devid"
extern const char g_XMLSubVenId[];   // "subvenid"
extern const char g_XMLSubDevId[];   // "subdevid"
extern const char g_XMLrom[];        // "rom"
extern const char g_XMLFwImage[];    // "fwFile"

// Result of a lookup: the attributes of the one matching element (an
// attribute it lacks is empty).
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

// Reads the catalog into memory, replacing what an earlier call read; every
// mode that looks adapters up calls it once before the first lookup. It is
// read as a local regular file within the limits above, never followed
// through a symbolic link, and as root only when untrusted_because accepts
// it. Returns 0, or FWUPG_ERR when the catalog is missing ("Unable to open",
// as at a lookup), refused or malformed (an error naming it and why), both
// logged with console echo, or when a termination signal stopped the reading
// (not logged: the run says so).
int load_firmware_catalog();

// Looks the PCI identity key "%04X-%04X-%04X-%04X" up in the catalog as
// read (reading it first if nothing has been read). An element matches only
// when its own four IDs equal the key and it names an image; the first such
// element in document order is the entry. Returns CATALOG_FOUND or
// CATALOG_NOT_FOUND (also for a missing catalog, logged at each lookup, and
// for a malformed one).
int read_NIC_FW_xml_file(const char* key, FirmwareCatalogEntry* entry);

// Drops what was read, as at process start.
void forget_firmware_catalog();

// The catalog key of a PCI identity.
std::string pci_identity_key(unsigned venid, unsigned devid, unsigned subvenid, unsigned subdevid);
