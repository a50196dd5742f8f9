#include "update/update_decision.h"

#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "tool/text_checks.h"
#include "update/prompt.h"

#include <string>

namespace {

struct Defaults {
    int silent;
    int forced;
    int interactive;
    const char* text;
};

const Defaults kDefaultYes = {ANSWER_YES, ANSWER_YES, ANSWER_YES, "y"};
const Defaults kDefaultNo = {ANSWER_NO, ANSWER_YES, ANSWER_NO, "n"};

// One row per outcome of the comparison: the warning it logs and the
// options that turn its default to yes.
struct NeedCase {
    VersionOrder order;
    const char* warning;  // null: none
    bool always_yes;
    uint32_t yes_flags;
};

const NeedCase kNeedCases[] = {
    {VersionOrder::AVAILABLE_NEWER, nullptr, true, 0},
    {VersionOrder::SAME, "*** WARNING *** - Installed firmware is the same version as selected firmware.\n",
     false, RUN_REWRITE | RUN_FORCE},
    {VersionOrder::INSTALLED_NEWER, "*** WARNING *** - Installed firmware is newer than selected firmware.\n",
     false, RUN_DOWNGRADE | RUN_FORCE},
};

const NeedCase& need_case(VersionOrder order)
{
    for (const NeedCase& c : kNeedCases) {
        if (c.order == order)
            return c;
    }
    return kNeedCases[0];
}

// A catalog entry without an image file name, or with one the shell could
// read as syntax, has no usable image either.
bool has_image_name(const std::string& fw_file)
{
    return fw_file.find("n/a") == std::string::npos && is_safe_image_name(fw_file.c_str());
}

} // namespace

void fw_version_message(char* buffer, size_t size, int index)
{
    const NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    // The sub-versions are the tool's words: shown and logged escaped.
    std::string rv[ROM_VERSION_SLOTS];
    for (int slot = 0; slot < ROM_VERSION_SLOTS; ++slot)
        rv[slot] = log_safe(nic.rom_versions[slot]);
    format_bounded(buffer, size,
                   "\nUpdate firmware : ROM combo version %s to %s ?\n"
                   "\t\t\t\t\t(PXE update from %s to %s)\n"
                   "\t\t\t\t\t(Setup update from %s to %s)\n"
                   "\t\t\t\t\t(OCD update from %s to %s)\n",
                   version_text(nic.cur_version).c_str(), version_text(nic.img_version).c_str(),
                   rv[PXE_CUR].c_str(), rv[PXE_IMG].c_str(), rv[SETUP_CUR].c_str(), rv[SETUP_IMG].c_str(),
                   rv[OCD_CUR].c_str(), rv[OCD_IMG].c_str());
}

int is_FW_needed(int index)
{
    char question[QUESTION_SIZE];
    fw_version_message(question, sizeof question, index);

    const NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    const NeedCase& c = need_case(compare_versions(nic.cur_version, nic.img_version));
    if (c.warning != nullptr)
        log_dazed_event(dazed_fout, LOG_WARNING, c.warning, 0);
    const Defaults& d = (c.always_yes || (g_iFlag & c.yes_flags) != 0) ? kDefaultYes : kDefaultNo;
    return nfwu_yesno(question, d.silent, d.forced, d.interactive, d.text);
}

int select_firmware(int index)
{
    NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    if ((nic.flags & NIC_HAS_ROM) == 0)
        return FWUPG_ERR;
    if (!has_image_name(nic.fw_file)) {
        log_event_f(LOG_WARNING, 0, "Failed to get firmware image filename from %s\n", g_XMLFwFile);
        return FWUPG_ERR;
    }
    nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;

    switch (is_FW_needed(index)) {
    case ANSWER_YES:
        g_iFlag |= RUN_ACCEPTED;
        nic.flags |= NIC_UPDATE;
        break;
    case ANSWER_QUIT:
        g_iFlag |= RUN_USER_QUIT;
        nic.flags = 0;
        break;
    default:
        nic.flags = 0;
        break;
    }
    return FWUPG_OK;
}
