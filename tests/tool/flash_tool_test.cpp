// The flash tool's command lines are a contract with the tool and the shell.
#include "tool/flash_tool.h"

#include <gtest/gtest.h>

namespace {

TEST(FlashToolCommands, ExactCommandLines)
{
    const std::pair<std::string, const char*> cases[] = {
        {cmd_probe_adapter_list(), "(./bootutil -E > /dev/null)\n"},
        {cmd_list_adapters(), "(./bootutil -E  | grep NIC | grep MACAddress > data_cur.dat)\n"},
        {cmd_find_adapter("001B21123456"),
         "(./bootutil -E  | grep NIC | grep MACAddress | grep 001B21123456> data_tmp.dat)\n"},
        {cmd_image_versions("./nic_fw/a.bin"), "(./bootutil -iv -QUIET -FILE=./nic_fw/a.bin > data_img.dat)\n"},
        {cmd_image_versions_for_nic("./nic_fw/a.bin", "3"),
         "(./bootutil -iv -QUIET -FILE=./nic_fw/a.bin -NIC=3 > data_img.dat)\n"},
        {cmd_installed_versions("12345"), "(./bootutil -iv -QUIET -NIC=12345 > data_img.dat)\n"},
        {cmd_flash(2, "./nic_fw/a.bin"),
         "(./bootutil -NIC=2 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/a.bin > out.txt 2>&1)\n"},
        {cmd_pick_lines("data_img.dat", LABEL_PXE), "(cat data_img.dat | grep \"PXE       v\" > data_tmp.dat)\n"},
        {cmd_pick_lines("data_img.dat", LABEL_SETUP), "(cat data_img.dat | grep \"Setup     v\" > data_tmp.dat)\n"},
        {cmd_pick_lines("data_img.dat", LABEL_OCD), "(cat data_img.dat | grep \"OCD       v\" > data_tmp.dat)\n"},
        {cmd_pick_lines("data_img.dat", LABEL_OCD_ROM), "(cat data_img.dat | grep \"OCD Option ROM\" > data_tmp.dat)\n"},
        {cmd_pick_lines("data_img.dat", LABEL_COMBO_VERSION),
         "(cat data_img.dat | grep \"Combo Image Version Name\" > data_tmp.dat)\n"},
        {cmd_count_lines("data_cur.dat", "001B21123456"),
         "(cat data_cur.dat | grep -c 001B21123456 > data_tmp.dat)\n"},
        {cmd_search_psid_mismatch(), "grep -i \"PSID Mismatch\" out.txt > /dev/null 2>&1"},
    };
    for (const auto& [built, expected] : cases)
        EXPECT_EQ(built, expected);
}

} // namespace
