// Catalog lookup: the input is the catalog file.
#include "tool/fw_catalog.h"

#include "app/config.h"
#include "fuzz_support.h"

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
    fuzz_support::InDirectory in(fuzz_support::scratch_dir());
    fuzz_support::write_bytes(g_XMLFwFile, data, size);

    FirmwareCatalogEntry entry;
    int found = read_NIC_FW_xml_file(kKey, &entry);
    require(found == CATALOG_FOUND || found == CATALOG_NOT_FOUND, "lookup gives 1 or 2");

    // Callers hand the same entry over again; a key made of the IDs it now
    // holds puts arbitrary texts through the matching.
    std::string key = entry.venid + "-" + entry.devid + "-" + entry.subvenid + "-" + entry.subdevid;
    found = read_NIC_FW_xml_file(key.c_str(), &entry);
    require(found == CATALOG_FOUND || found == CATALOG_NOT_FOUND, "second lookup gives 1 or 2");
    return 0;
}
