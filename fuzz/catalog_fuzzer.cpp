// Catalog lookup: the input is the catalog file.
#include "catalog/fw_catalog.h"

#include "fuzz_support.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "support/test_support.h"

#include <sys/stat.h>

#include <string>

using fuzz_support::require;

namespace {

const char kKey[] = "8086-10D3-1A2B-7044";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_support::mute_stdout();
    mkdir((fuzz_support::scratch_dir() + "/nic_fw").c_str(), 0700);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    testing_support::ScopedCwd in(fuzz_support::scratch_dir());
    testing_support::write_file(g_XMLFwFile, fuzz_support::bytes(data, size));

    const int loaded = load_firmware_catalog();
    require(loaded == 0 || loaded == 6, "reading gives 0 or 6");
    FirmwareCatalogEntry entry;
    int found = read_NIC_FW_xml_file(kKey, &entry);
    require(found == CATALOG_FOUND || found == CATALOG_NOT_FOUND, "lookup gives 1 or 2");
    require(loaded == 0 || found == CATALOG_NOT_FOUND, "a catalog that could not be read finds nothing");

    // A key made of the IDs the entry holds puts arbitrary texts through
    // the matching; what is found must be an element of exactly that key.
    std::string key = entry.venid + "-" + entry.devid + "-" + entry.subvenid + "-" + entry.subdevid;
    FirmwareCatalogEntry again;
    found = read_NIC_FW_xml_file(key.c_str(), &again);
    require(found == CATALOG_FOUND || found == CATALOG_NOT_FOUND, "second lookup gives 1 or 2");
    if (found == CATALOG_FOUND) {
        std::string formed = format_text("%4s-%4s-%4s-%4s", again.venid.c_str(), again.devid.c_str(),
                                         again.subvenid.c_str(), again.subdevid.c_str());
        require(formed == key, "the element found carries the key's own IDs");
    }
    return 0;
}
