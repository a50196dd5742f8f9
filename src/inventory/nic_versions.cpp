#include "inventory/nic_versions.h"

#include "app/bounded_text.h"
#include "app/config.h"
#include "app/event_log.h"
#include "inventory/nic_info.h"
#include "tool/flash_tool.h"
#include "tool/shell.h"
#include "tool/text_checks.h"
#include "tool/tool_number.h"
#include "tool/tool_output.h"

#include <cstring>

namespace {

// Wide enough that nothing which fits its slot is cut: a combo version of
// 1.3.4 digits, or "v" and a nine-character sub-version. A word this long
// has been cut and is treated as too long.
constexpr size_t kVersionWordSize = 32;

// Defaults put in the word before each pick. Only the first character is
// cleared when nothing is found, so a sub-version read from the second
// character falls back to "0.0.00" and a combo version to "".
const char kComboDefault[] = "0.00.0";
const char kSubVersionDefault[] = "00.0.00";

using VersionWord = char[kVersionWordSize];

enum class Pick { DONE, INTERRUPTED };

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

// The combo version word of the last report; false when interrupted.
bool pick_combo_word(VersionWord& word)
{
    return pick_word(TMP_DATA_IMG, LABEL_COMBO_VERSION, 5, kComboDefault, word);
}

// Sub-version words start with "v", which is dropped. One too long for its
// slot is cut with a "+" at its end, so that it never shows as another
// version.
bool pick_sub_version(const char* label, int n, NicInfo& nic, RomVersionSlot slot)
{
    VersionWord word;
    if (!pick_word(TMP_DATA_IMG, label, n, kSubVersionDefault, word))
        return false;
    const char* text = word + 1;
    if (strlen(text) < ROM_VERSION_SIZE) {
        set_rom_version(nic, slot, text);
    } else {
        char cut[ROM_VERSION_SIZE];
        copy_bounded(cut, sizeof cut, text);
        cut[ROM_VERSION_SIZE - 2] = '+';
        set_rom_version(nic, slot, cut);
    }
    return true;
}

// An image version that cannot be read whole counts as not reported (0.0.0,
// never newer than what is installed), so it is never flashed by default.
void set_image_version(NicInfo& nic, const char* word)
{
    nic.img_version = RomVersion{};
    if (word[0] == '\0')
        return;
    if (!version_reads_whole(word)) {
        log_event_f(LOG_WARNING, 0, "The image version \"%s\" of %s (MAC %s) cannot be read whole; it counts as not reported.\n",
                    log_safe(word).c_str(), log_safe(nic.fw_file).c_str(), log_safe(nic.macaddress).c_str());
        return;
    }
    parseversions(word, &nic.img_version.major, &nic.img_version.minor, &nic.img_version.build);
}

bool read_image_versions(NicInfo& nic, const std::string& nic_text)
{
    const char* image = nic.fw_image_path.c_str();
    VersionWord combo;
    if (!do_command_unless_interrupted(cmd_image_versions(image)) || !pick_combo_word(combo))
        return false;
    set_image_version(nic, combo);
    return pick_sub_version(LABEL_OCD_ROM, 4, nic, OCD_IMG) &&
           do_command_unless_interrupted(cmd_image_versions_for_nic(image, nic_text.c_str())) &&
           pick_sub_version(LABEL_PXE, 2, nic, PXE_IMG) && pick_sub_version(LABEL_SETUP, 2, nic, SETUP_IMG);
}

} // namespace

AdapterVersions read_adapter_versions(int index)
{
    NicInfo& nic = g_ninfo[static_cast<size_t>(index)];

    if (!do_command_unless_interrupted(cmd_pick_lines(TMP_DATA_CUR, nic.macaddress.c_str())))
        return AdapterVersions::INTERRUPTED;
    const ToolNumber number = read_tool_number(TMP_DATA_TMP);
    if (number.state != ToolNumberState::USABLE) {
        log_unusable_tool_number(nic.macaddress, number, "the adapter is left out.");
        return AdapterVersions::LEFT_OUT;
    }
    nic.nic_number = number.number;

    if (is_safe_image_name(nic.fw_file.c_str())) {
        nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;
        if (!read_image_versions(nic, number.text))
            return AdapterVersions::INTERRUPTED;
    } else {
        // Such a name never reaches a command line: the adapter has no image.
        log_event_f(LOG_ERROR, 0, "Image file name \"%s\" for %s in %s is refused: only letters, digits and ._+-/ are allowed.\n",
                    log_safe(nic.fw_file).c_str(), log_safe(nic.device_id).c_str(), g_XMLFwFile);
        for (RomVersionSlot slot : {PXE_IMG, SETUP_IMG, OCD_IMG})
            set_rom_version(nic, slot, kSubVersionDefault + 1);
    }

    VersionWord combo;
    if (!do_command_unless_interrupted(cmd_installed_versions(number.text.c_str())) || !pick_combo_word(combo))
        return AdapterVersions::INTERRUPTED;
    // Unknown is not 0.0.0: against it every image would count as newer.
    if (!version_reads_whole(combo)) {
        log_event_f(LOG_ERROR, 0, "The flash tool reports no readable installed version for MAC %s (\"%s\"); the adapter is left out.\n",
                    log_safe(nic.macaddress).c_str(), log_safe(combo).c_str());
        return AdapterVersions::LEFT_OUT;
    }
    parseversions(combo, &nic.cur_version.major, &nic.cur_version.minor, &nic.cur_version.build);
    if (!(pick_sub_version(LABEL_PXE, 2, nic, PXE_CUR) && pick_sub_version(LABEL_SETUP, 2, nic, SETUP_CUR) &&
          pick_sub_version(LABEL_OCD, 2, nic, OCD_CUR)))
        return AdapterVersions::INTERRUPTED;

    nic.flags |= NIC_HAS_ROM;
    return AdapterVersions::COMPLETE;
}
