#include "flash.h"

#include "exit_codes.h"
#include "faults.h"
#include "reports.h"
#include "targets.h"

#include <cstdio>
#include <cstdlib>

namespace bootutil_sim {

namespace {

// The versions a flash copies from the image to the adapter.
const char* const kFlashedKeys[] = {"combo", "pxe", "setup", "ocd"};

} // namespace

int run_flash(const Command& command, LockedState& locked)
{
    print_banner();
    StateLine* adapter = adapter_for_number(locked.state, command.nic);
    if (adapter == nullptr)
        return EXIT_NO_ADAPTER;
    StateLine* image = image_for_path(locked.state, command.file);
    if (image == nullptr)
        return EXIT_BAD_IMAGE;

    const std::string nic = field_value(*adapter, "nic");
    const std::string image_psid = field_value(*image, "psid");
    const std::string adapter_psid = field_value(*adapter, "psid");
    printf("Flashing NIC %s from image %s\n", nic.c_str(), command.file.c_str());
    if (image_psid != adapter_psid) {
        printf("Error: PSID Mismatch, image %s does not fit adapter %s\n", image_psid.c_str(),
               adapter_psid.c_str());
        return EXIT_PSID_MISMATCH;
    }
    printf("Image PSID %s, adapter PSID %s\n", image_psid.c_str(), adapter_psid.c_str());
    printf("Updating PXE, CLP and OCD option ROM images\n");
    printf("Writing flash: 50%%\n");
    fflush(stdout);
    write_stderr_if_asked(adapter, "flash");

    delay_by(*adapter, "flash_delay");
    die_by_signal_if_asked(*adapter);
    if (has_field(*adapter, "flash_exit")) {
        int code = atoi(field_value(*adapter, "flash_exit").c_str());
        printf("Error: Flash write failed on NIC %s\n", nic.c_str());
        return code;
    }

    const std::string old_combo = field_value(*adapter, "combo");
    for (const char* key : kFlashedKeys)
        set_field(*adapter, key, field_value(*image, key));
    // An adapter that ends up with other firmware than it was given, for
    // checks that read the installed version back after a flash.
    if (has_field(*adapter, "flash_takes"))
        set_field(*adapter, "combo", field_value(*adapter, "flash_takes"));
    std::string error;
    if (!locked.store(&error)) {
        printf("Error: Flash write failed on NIC %s\n", nic.c_str());
        fprintf(stderr, "bootutil-sim: %s\n", error.c_str());
        return EXIT_BAD_STATE;
    }
    printf("Writing flash: 100%%\n");
    printf("Combo image %s replaced by %s\n", old_combo.c_str(), field_value(*image, "combo").c_str());
    printf("Flash update successful. Reboot to activate the new firmware.\n");
    return EXIT_OK;
}

} // namespace bootutil_sim
