#pragma once

#include <string>

// Temporary files of the flash tool's output, in the working directory.
extern const char TMP_DATA_CUR[];  // "data_cur.dat": the adapter list
extern const char TMP_DATA_IMG[];  // "data_img.dat": the last version report
extern const char TMP_DATA_TMP[];  // "data_tmp.dat": picked lines, counts
extern const char FLASH_OUTPUT[];  // "out.txt": output of the last flash

// Labels of the report lines, quoted for the shell; the blanks matter.
extern const char LABEL_COMBO_VERSION[];  // "\"Combo Image Version Name\""
extern const char LABEL_OCD_ROM[];        // "\"OCD Option ROM\""
extern const char LABEL_PXE[];            // "\"PXE       v\""
extern const char LABEL_SETUP[];          // "\"Setup     v\""
extern const char LABEL_OCD[];            // "\"OCD       v\""

// The version reports the inventory asks for, in the order it asks.
enum class VersionReport {
    IMAGE,              // -iv -FILE=: the image alone
    IMAGE_FOR_ADAPTER,  // -iv -FILE= -NIC=: the image for this adapter
    ADAPTER,            // -iv -NIC=: what the adapter has installed
};
enum class VersionKind { COMBO, PXE, SETUP, OCD };

// One version line picked from a report: its label, the word that holds the
// version, and whose version it is.
struct VersionLine {
    VersionReport report;
    const char* label;
    int word;
    bool installed;  // false: the image's
    VersionKind kind;
};

// Every version line the inventory relies on, in the order it picks them.
extern const VersionLine VERSION_LINES[8];

// Checks that the flash tool is an executable file; logs an error (with console echo)
// naming it when it cannot. Returns 0 or FWUPG_ERR.
int check_flash_tool();

// Runs the tool's adapter list once on its own and checks its exit status;
// logs an error (with console echo) when it fails. Returns 0 or FWUPG_ERR.
int check_flash_tool_lists();

// Every command line given to the flash tool or used on its output.
std::string cmd_probe_adapter_list();
std::string cmd_list_adapters();
std::string cmd_find_adapter(const char* mac);
std::string cmd_image_versions(const char* image_path);
std::string cmd_image_versions_for_nic(const char* image_path, const char* nic_text);
std::string cmd_installed_versions(const char* nic_text);
std::string cmd_flash(int nic_number, const char* image_path);
std::string cmd_pick_lines(const char* source, const char* pattern);
std::string cmd_count_lines(const char* source, const char* pattern);
std::string cmd_search_psid_mismatch();
