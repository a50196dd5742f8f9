#include "report/show_current.h"

#include "catalog/fw_catalog.h"
#include "inventory/nic_info.h"
#include "inventory/nic_list.h"
#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "log/event_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr size_t kRowSize = 4096;

const std::string kHyphens = std::string(72, '-') + "\n";
const std::string kBlanks = std::string(72, ' ') + "\n";
const std::string kAsterisks = std::string(72, '*') + "\n";

void print_row(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

void print_row(const char* fmt, ...)
{
    char row[kRowSize];
    va_list ap;
    va_start(ap, fmt);
    if (vsnprintf(row, sizeof row, fmt, ap) < 0)
        row[0] = '\0';
    va_end(ap);
    print_message(row);
}

} // namespace

void print_version_block(int index)
{
    const NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    const auto& rv = nic.rom_versions;

    print_message("MAC               PCI-ID              NIC\n");
    print_row("%-12s %s %s \n\n", nic.macaddress.c_str(),
              pci_identity_key(nic.venid, nic.devid, nic.subvenid, nic.subdevid).c_str(), nic.product_id.c_str());
    print_message("     (Installed)             (Available)\n");
    print_message("     Image      Version      Image      Version     Interface\n");
    print_message(kHyphens.c_str());
    print_row("     COMBO      %-10s   COMBO      %-10s    %s\n", version_text(nic.cur_version).c_str(),
              version_text(nic.img_version).c_str(), nic.device_id.c_str());
    print_message(kBlanks.c_str());
    print_message(kHyphens.c_str());
    print_row("     PXE        %-10s              %-10s\n", rv[PXE_CUR], rv[PXE_IMG]);
    print_row("     Setup      %-10s              %-10s\n", rv[SETUP_CUR], rv[SETUP_IMG]);
    print_row("     OCD        %-10s              %-10s\n", rv[OCD_CUR], rv[OCD_IMG]);
    print_message(kAsterisks.c_str());
    print_message("\n");
}

int show_current()
{
    if (build_NIC_list() != FWUPG_OK)
        return FWUPG_ERR;
    if (g_nDazedNICs == 0) {
        log_event_f(LOG_ERROR, 1, "No supported adapters found\n");
        return FWUPG_ERR;
    }
    for (int i = 0; i < g_nDazedNICs; ++i) {
        if (g_ninfo[static_cast<size_t>(i)].flags & NIC_HAS_ROM)
            print_version_block(i);
    }
    // The table is this mode's whole result: one that did not reach
    // standard output (a full disk, a closed pipe) was not displayed.
    errno = 0;
    if (fflush(stdout) != 0 || ferror(stdout)) {
        log_event_f(LOG_ERROR, 0, "The current FW versions could not be written to standard output (%s).\n",
                    strerror(errno != 0 ? errno : EIO));
        return FWUPG_ERR;
    }
    if (g_nLeftOutNICs != 0)
        return left_out_result(FWUPG_OK);
    log_event_f(LOG_INFO, 0, "Current FW version successfully displayed.\n");
    return FWUPG_OK;
}
