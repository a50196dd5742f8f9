#include "reports.h"

#include "faults.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bootutil_sim {

namespace {

// The relied-on lines; the noise lines printed before them share words with
// these labels but never a whole label, so that a loose pattern picks the
// wrong line first.
void print_combo_line(const std::string& version)
{
    printf("Combo Image Version Name: %s\n", version.c_str());
}

void print_ocd_rom_line(const std::string& version)
{
    printf("OCD Option ROM: v%s\n", version.c_str());
}

// The name padded with blanks to ten characters, then "v" and the version.
void print_sub_version(const char* name, const std::string& version)
{
    printf("%-10sv%s\n", name, version.c_str());
}

} // namespace

void print_banner()
{
    printf("Dazed Boot Utility - Firmware Flash Tool, Version 1.9.12 (simulator)\n");
    printf("Copyright (C) Dazed Devices. All rights reserved.\n");
    printf("\n");
}

int print_adapter_list(const HostState& state)
{
    int listed = 0;
    for (const StateLine& line : state.lines) {
        if (line.kind == RecordKind::Adapter && !omits(&line, "list"))
            ++listed;
    }
    printf("Found %d NICs\n", listed);
    printf("NIC  Location  Series  Port address and firmware identity\n");
    printf("---  --------  ------  ----------------------------------\n");
    printf("Each entry lists the port MACAddress and the board PSID.\n");
    for (const StateLine& line : state.lines) {
        if (line.kind != RecordKind::Adapter || omits(&line, "list"))
            continue;
        // list_as stands in for the number, so that a tool printing a broken
        // one (non-decimal, too long, missing) can be played.
        const std::string number = has_field(line, "list_as") ? field_value(line, "list_as") : field_value(line, "nic");
        printf("NIC %s: MACAddress=%s PSID=%s Series=Dazed\n", number.c_str(),
               field_value(line, "mac").c_str(), field_value(line, "psid").c_str());
    }
    printf("\n");
    printf("NIC list complete.\n");
    for (const StateLine& line : state.lines) {
        if (line.kind == RecordKind::Adapter && has_field(line, "list_exit"))
            return static_cast<int>(strtol(field_value(line, "list_exit").c_str(), nullptr, 10));
    }
    return 0;
}

void print_image_report(const std::string& path, const StateLine& image)
{
    printf("Image file: %s\n", path.c_str());
    printf("Image PSID: %s\n", field_value(image, "psid").c_str());
    printf("Combo Image Version format: major.minor.build\n");
    printf("Option ROM images: 3\n");
    printf("PXE image present\n");
    printf("OCD Option support: yes\n");
    if (!omits(&image, "combo"))
        print_combo_line(field_value(image, "combo"));
    if (!omits(&image, "ocd"))
        print_ocd_rom_line(field_value(image, "ocd"));
    printf("\n");
}

void print_image_for_adapter(const std::string& path, const StateLine& image,
                             const StateLine& adapter)
{
    printf("Image file: %s\n", path.c_str());
    printf("Target NIC %s, PSID %s\n", field_value(adapter, "nic").c_str(), field_value(adapter, "psid").c_str());
    printf("PXE image present\n");
    printf("Setup image present\n");
    printf("PXE vendor: Dazed\n");
    printf("Setup vendor: Dazed\n");
    if (!omits(&image, "pxe") && !omits(&adapter, "pxe"))
        print_sub_version("PXE", field_value(image, "pxe"));
    if (!omits(&image, "setup") && !omits(&adapter, "setup"))
        print_sub_version("Setup", field_value(image, "setup"));
    printf("\n");
}

void print_adapter_report(const StateLine& adapter)
{
    printf("NIC %s PSID %s installed firmware\n", field_value(adapter, "nic").c_str(), field_value(adapter, "psid").c_str());
    printf("Combo Image Version format: major.minor.build\n");
    printf("PXE vendor: Dazed\n");
    printf("Setup vendor: Dazed\n");
    printf("OCD vendor: Dazed\n");
    if (!omits(&adapter, "combo"))
        print_combo_line(field_value(adapter, "combo"));
    if (!omits(&adapter, "pxe"))
        print_sub_version("PXE", field_value(adapter, "pxe"));
    if (!omits(&adapter, "setup"))
        print_sub_version("Setup", field_value(adapter, "setup"));
    if (!omits(&adapter, "ocd"))
        print_sub_version("OCD", field_value(adapter, "ocd"));
    printf("\n");
}

} // namespace bootutil_sim
