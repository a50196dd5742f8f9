#include "inventory/nic_versions.h"

#include "app/bounded_text.h"
#include "app/config.h"
#include "app/event_log.h"
#include "inventory/nic_info.h"
#include "tool/flash_tool.h"
#include "tool/shell.h"
#include "tool/text_checks.h"
#include "tool/tool_output.h"

#include <cstdlib>

namespace {

constexpr size_t kNicTextSize = 5;     // the tool's adapter number: 4 characters
constexpr size_t kVersionWordSize = 9; // a version word: 8 characters

// Defaults put in the word before each pick. Only the first character is
// cleared when nothing is found, so a sub-version read from the second
// character falls back to "0.0.00" and a combo version to "".
const char kComboDefault[] = "0.00.0";
const char kSubVersionDefault[] = "00.0.00";

using VersionWord = char[kVersionWordSize];

// Every command below goes through this: once the run is interrupted no
// further command starts, and the caller stops.
bool pick_word(const char* source, const char* label, int n, const char* default_text, VersionWord& word)
{
    if (!do_command_unless_interrupted(cmd_pick_lines(source, label)))
        return false;
    copy_bounded(word, sizeof word, default_text);
    get_nth_word_from_file(TMP_DATA_TMP, n, word, sizeof word);
    return true;
}

bool pick_combo(const char* label, int n, RomVersion& version)
{
    VersionWord word;
    if (!pick_word(TMP_DATA_IMG, label, n, kComboDefault, word))
        return false;
    parseversions(word, &version.major, &version.minor, &version.build);
    return true;
}

// Sub-version words start with "v", which is dropped.
bool pick_sub_version(const char* label, int n, NicInfo& nic, RomVersionSlot slot)
{
    VersionWord word;
    if (!pick_word(TMP_DATA_IMG, label, n, kSubVersionDefault, word))
        return false;
    set_rom_version(nic, slot, word + 1);
    return true;
}

} // namespace

bool read_adapter_versions(int index)
{
    NicInfo& nic = g_ninfo[static_cast<size_t>(index)];

    char nic_text[kNicTextSize] = "";
    if (!do_command_unless_interrupted(cmd_pick_lines(TMP_DATA_CUR, nic.macaddress.c_str())))
        return false;
    get_nth_word_from_file(TMP_DATA_TMP, 2, nic_text, sizeof nic_text);
    if (nic_text[0] != '\0' && !is_decimal_text(nic_text)) {
        log_event_f(LOG_ERROR, 0, "The flash tool listed MAC %s with the adapter number \"%s\"; it is not used.\n",
                    nic.macaddress.c_str(), nic_text);
        nic_text[0] = '\0';
    }
    nic.nic_number = atoi(nic_text);

    if (is_safe_image_name(nic.fw_file.c_str())) {
        nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;
        const char* image = nic.fw_image_path.c_str();

        const bool complete = do_command_unless_interrupted(cmd_image_versions(image)) &&
                              pick_combo(LABEL_COMBO_VERSION, 5, nic.img_version) &&
                              pick_sub_version(LABEL_OCD_ROM, 4, nic, OCD_IMG) &&
                              do_command_unless_interrupted(cmd_image_versions_for_nic(image, nic_text)) &&
                              pick_sub_version(LABEL_PXE, 2, nic, PXE_IMG) &&
                              pick_sub_version(LABEL_SETUP, 2, nic, SETUP_IMG);
        if (!complete)
            return false;
    } else {
        // Such a name never reaches a command line: the adapter has no image.
        log_event_f(LOG_ERROR, 0, "Image file name \"%s\" for %s in %s is refused: only letters, digits and ._+-/ are allowed.\n",
                    nic.fw_file.c_str(), nic.device_id.c_str(), g_XMLFwFile);
        for (RomVersionSlot slot : {PXE_IMG, SETUP_IMG, OCD_IMG})
            set_rom_version(nic, slot, kSubVersionDefault + 1);
    }

    const bool complete = do_command_unless_interrupted(cmd_installed_versions(nic_text)) &&
                          pick_combo(LABEL_COMBO_VERSION, 5, nic.cur_version) &&
                          pick_sub_version(LABEL_PXE, 2, nic, PXE_CUR) &&
                          pick_sub_version(LABEL_SETUP, 2, nic, SETUP_CUR) &&
                          pick_sub_version(LABEL_OCD, 2, nic, OCD_CUR);
    if (!complete)
        return false;

    nic.flags |= NIC_HAS_ROM;
    return true;
}
