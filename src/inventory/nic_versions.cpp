#include "inventory/nic_versions.h"

#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/shell.h"
#include "log/event_log.h"
#include "tool/flash_tool.h"
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

RomVersionSlot slot_of(const VersionLine& line)
{
    switch (line.kind) {
    case VersionKind::PXE:
        return line.installed ? PXE_CUR : PXE_IMG;
    case VersionKind::SETUP:
        return line.installed ? SETUP_CUR : SETUP_IMG;
    default:
        return line.installed ? OCD_CUR : OCD_IMG;
    }
}

std::string report_command(VersionReport report, const NicInfo& nic, const std::string& nic_text)
{
    switch (report) {
    case VersionReport::IMAGE:
        return cmd_image_versions(nic.fw_image_path.c_str());
    case VersionReport::IMAGE_FOR_ADAPTER:
        return cmd_image_versions_for_nic(nic.fw_image_path.c_str(), nic_text.c_str());
    default:
        return cmd_installed_versions(nic_text.c_str());
    }
}

// Sub-version words start with "v", which is dropped. One too long for its
// slot is cut with a "+" at its end, so that it never shows as another
// version.
void set_sub_version(NicInfo& nic, RomVersionSlot slot, const char* word)
{
    const char* text = word + 1;
    if (strlen(text) < ROM_VERSION_SIZE) {
        set_rom_version(nic, slot, text);
        return;
    }
    char cut[ROM_VERSION_SIZE];
    copy_bounded(cut, sizeof cut, text);
    cut[ROM_VERSION_SIZE - 2] = '+';
    set_rom_version(nic, slot, cut);
}

// A missing image version counts as not reported (0.0.0, never newer than
// what is installed). One that is there but cannot be read whole is no
// version at all: judged as 0.0.0 it would read as a downgrade, which -u
// flashes when the report is passed on unchanged.
bool set_image_version(NicInfo& nic, const char* word)
{
    nic.img_version = RomVersion{};
    if (word[0] == '\0')
        return true;
    if (!version_reads_whole(word)) {
        log_event_f(LOG_ERROR, 0, "The flash tool reports no readable image version for MAC %s (\"%s\" in %s); the adapter is left out.\n",
                    log_safe(nic.macaddress).c_str(), log_safe(word).c_str(), log_safe(nic.fw_file).c_str());
        return false;
    }
    parseversions(word, &nic.img_version.major, &nic.img_version.minor, &nic.img_version.build);
    return true;
}

// Unknown is not 0.0.0: against it every image would count as newer.
bool set_installed_version(NicInfo& nic, const char* word)
{
    if (!version_reads_whole(word)) {
        log_event_f(LOG_ERROR, 0, "The flash tool reports no readable installed version for MAC %s (\"%s\"); the adapter is left out.\n",
                    log_safe(nic.macaddress).c_str(), log_safe(word).c_str());
        return false;
    }
    parseversions(word, &nic.cur_version.major, &nic.cur_version.minor, &nic.cur_version.build);
    return true;
}

// Runs the report and picks its lines. Every command goes through
// do_command_unless_interrupted: once the run is interrupted no further
// command starts, and the caller stops.
AdapterVersions read_report(VersionReport report, NicInfo& nic, const std::string& nic_text)
{
    if (!do_command_unless_interrupted(report_command(report, nic, nic_text)))
        return AdapterVersions::INTERRUPTED;
    for (const VersionLine& line : VERSION_LINES) {
        if (line.report != report)
            continue;
        if (!do_command_unless_interrupted(cmd_pick_lines(TMP_DATA_IMG, line.label)))
            return AdapterVersions::INTERRUPTED;
        VersionWord word;
        copy_bounded(word, sizeof word, line.kind == VersionKind::COMBO ? kComboDefault : kSubVersionDefault);
        get_nth_word_from_file(TMP_DATA_TMP, line.word, word, sizeof word);
        if (line.kind != VersionKind::COMBO)
            set_sub_version(nic, slot_of(line), word);
        else if (!(line.installed ? set_installed_version(nic, word) : set_image_version(nic, word)))
            return AdapterVersions::LEFT_OUT;
    }
    return AdapterVersions::COMPLETE;
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

    // "n/a" is the catalog's word for no image; the decision says so.
    const bool marked_without_image = nic.fw_file.find("n/a") != std::string::npos;
    const bool has_image = !marked_without_image && is_safe_image_name(nic.fw_file.c_str());
    if (has_image) {
        nic.fw_image_path = std::string(g_FwDir) + nic.fw_file;
    } else {
        // Such a name never reaches a command line: the adapter has no image.
        if (!marked_without_image)
            log_event_f(LOG_ERROR, 0, "Image file name \"%s\" for %s in %s is refused: only a file name in %s of "
                        "letters, digits and ._+- is allowed.\n",
                        log_safe(nic.fw_file).c_str(), log_safe(nic.device_id).c_str(), g_XMLFwFile, g_FwDir);
        for (RomVersionSlot slot : {PXE_IMG, SETUP_IMG, OCD_IMG})
            set_rom_version(nic, slot, kSubVersionDefault + 1);
    }
    for (VersionReport report : {VersionReport::IMAGE, VersionReport::IMAGE_FOR_ADAPTER, VersionReport::ADAPTER}) {
        if (report != VersionReport::ADAPTER && !has_image)
            continue;
        const AdapterVersions read = read_report(report, nic, number.text);
        if (read != AdapterVersions::COMPLETE)
            return read;
    }
    nic.flags |= NIC_HAS_ROM;
    return AdapterVersions::COMPLETE;
}
