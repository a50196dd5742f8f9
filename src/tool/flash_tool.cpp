#include "tool/flash_tool.h"

#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "log/event_log.h"

#include "lib/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const char TMP_DATA_CUR[] = "data_cur.dat";
const char TMP_DATA_IMG[] = "data_img.dat";
const char TMP_DATA_TMP[] = "data_tmp.dat";
const char FLASH_OUTPUT[] = "out.txt";

const char LABEL_COMBO_VERSION[] = "\"Combo Image Version Name\"";
const char LABEL_OCD_ROM[] = "\"OCD Option ROM\"";
const char LABEL_PXE[] = "\"PXE       v\"";
const char LABEL_SETUP[] = "\"Setup     v\"";
const char LABEL_OCD[] = "\"OCD       v\"";

const VersionLine VERSION_LINES[8] = {
    {VersionReport::IMAGE, LABEL_COMBO_VERSION, 5, false, VersionKind::COMBO},
    {VersionReport::IMAGE, LABEL_OCD_ROM, 4, false, VersionKind::OCD},
    {VersionReport::IMAGE_FOR_ADAPTER, LABEL_PXE, 2, false, VersionKind::PXE},
    {VersionReport::IMAGE_FOR_ADAPTER, LABEL_SETUP, 2, false, VersionKind::SETUP},
    {VersionReport::ADAPTER, LABEL_COMBO_VERSION, 5, true, VersionKind::COMBO},
    {VersionReport::ADAPTER, LABEL_PXE, 2, true, VersionKind::PXE},
    {VersionReport::ADAPTER, LABEL_SETUP, 2, true, VersionKind::SETUP},
    {VersionReport::ADAPTER, LABEL_OCD, 2, true, VersionKind::OCD},
};

int check_flash_tool()
{
    // Without this a missing tool only shows as empty output, which reads as
    // "no adapters" and would end an update run with success. A directory
    // passes the access test, so the file itself is checked too.
    struct stat st {};
    int err = 0;
    if (stat(g_fwupg, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = EACCES;
    else if (access(g_fwupg, X_OK) != 0)
        err = errno;
    if (err != 0) {
        log_event_f(LOG_ERROR, 1, "Cannot run the flash tool %s: %s\n", g_fwupg, strerror(err));
        return FWUPG_ERR;
    }
    return FWUPG_OK;
}

int check_flash_tool_lists()
{
    // The listing pipeline's status is that of its last grep, which cannot
    // tell a failing tool from one that lists nothing; so the tool's own
    // status is asked for first.
    int rc = do_command(cmd_probe_adapter_list());
    if (rc != 0 && !interrupted()) {
        log_event_f(LOG_ERROR, 1, "The flash tool %s failed to list its adapters (exit %d).\n", g_fwupg, rc);
        return FWUPG_ERR;
    }
    return FWUPG_OK;
}

std::string cmd_probe_adapter_list()
{
    // Its standard error goes through: when the list fails, the tool's own
    // message says why.
    return format_text("(%s -E > /dev/null)\n", g_fwupg);
}

std::string cmd_list_adapters()
{
    return format_text("(%s -E  | grep NIC | grep MACAddress > %s)\n", g_fwupg, TMP_DATA_CUR);
}

std::string cmd_find_adapter(const char* mac)
{
    return format_text("(%s -E  | grep NIC | grep MACAddress | grep %s> %s)\n", g_fwupg, mac,
                       TMP_DATA_TMP);
}

std::string cmd_image_versions(const char* image_path)
{
    return format_text("(%s -iv -QUIET -FILE=%s > %s)\n", g_fwupg, image_path, TMP_DATA_IMG);
}

std::string cmd_image_versions_for_nic(const char* image_path, const char* nic_text)
{
    return format_text("(%s -iv -QUIET -FILE=%s -NIC=%s > %s)\n", g_fwupg, image_path, nic_text,
                       TMP_DATA_IMG);
}

std::string cmd_installed_versions(const char* nic_text)
{
    return format_text("(%s -iv -QUIET -NIC=%s > %s)\n", g_fwupg, nic_text, TMP_DATA_IMG);
}

std::string cmd_flash(int nic_number, const char* image_path)
{
    return format_text("(%s -NIC=%d -up=pxe+clp+ocd -QUIET -FILE=%s > %s 2>&1)\n", g_fwupg,
                       nic_number, image_path, FLASH_OUTPUT);
}

std::string cmd_pick_lines(const char* source, const char* pattern)
{
    return format_text("(cat %s | grep %s > %s)\n", source, pattern, TMP_DATA_TMP);
}

std::string cmd_count_lines(const char* source, const char* pattern)
{
    return format_text("(cat %s | grep -c %s > %s)\n", source, pattern, TMP_DATA_TMP);
}

std::string cmd_search_psid_mismatch()
{
    return format_text("grep -i \"PSID Mismatch\" %s > /dev/null 2>&1", FLASH_OUTPUT);
}
