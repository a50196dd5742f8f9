// Judging one adapter: the version rule, the warnings, the defaults over the
// options, the question text, and what a verdict does to the record.
#include "update/update_decision.h"

#include "inventory/nic_info.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "support/event_log_capture.h"
#include "support/example_adapter.h"
#include "update/prompt.h"
#include "update_fixture.h"

namespace {

using testing_support::EventLogCapture;
using update_test::ScopedStdin;
using UpdateDecision = update_test::UpdateTest;

const char kSameWarning[] = "[WARNING]:*** WARNING *** - Installed firmware is the same version as selected firmware.\n";
const char kNewerWarning[] = "[WARNING]:*** WARNING *** - Installed firmware is newer than selected firmware.\n";

NicInfo adapter(RomVersion installed, RomVersion available)
{
    NicInfo nic = testing_support::example_adapter();
    nic.fw_file = "dz10.bin";
    nic.fw_image_path.clear();
    nic.cur_version = installed;
    nic.img_version = available;
    return nic;
}

struct Outcome {
    int answer;
    std::string console;
    std::string log;
};

Outcome judge(const NicInfo& nic, uint32_t flags, const std::string& input)
{
    g_ninfo = {nic};
    g_iFlag = flags;
    EventLogCapture log;
    ScopedStdin in(input);
    testing::internal::CaptureStdout();
    int answer = is_FW_needed(0);
    fflush(stdout);
    return {answer, testing::internal::GetCapturedStdout(), log.text()};
}

TEST_F(UpdateDecision, DefaultsFollowTheVersionsAndTheOptions)
{
    const RomVersion v123{1, 2, 3};
    const struct {
        RomVersion installed, available;
        uint32_t flags;
        const char* warning;
        bool default_yes;
    } cases[] = {
        {v123, {1, 2, 4}, 0, "", true},
        {{0, 0, 9}, {0, 0, 10}, 0, "", true},
        {{1, 9, 9}, {2, 0, 0}, 0, "", true},
        // A greater later component never outweighs a smaller earlier one.
        {v123, {1, 1, 5}, 0, kNewerWarning, false},
        {{2, 0, 5}, {1, 9, 9}, 0, kNewerWarning, false},
        {{1, 9, 9}, {1, 3, 21}, 0, kNewerWarning, false},
        {{2, 0, 5}, {1, 9, 9}, RUN_DOWNGRADE, kNewerWarning, true},
        {v123, v123, 0, kSameWarning, false},
        {v123, v123, RUN_REWRITE, kSameWarning, true},
        {v123, v123, RUN_FORCE, kSameWarning, true},
        {v123, v123, RUN_DOWNGRADE, kSameWarning, false},
        {{1, 3, 0}, {1, 2, 0}, 0, kNewerWarning, false},
        {{1, 3, 0}, {1, 2, 0}, RUN_DOWNGRADE, kNewerWarning, true},
        {{1, 3, 0}, {1, 2, 0}, RUN_FORCE, kNewerWarning, true},
        {{1, 3, 0}, {1, 2, 0}, RUN_REWRITE, kNewerWarning, false},
        {{0, 0, 0}, {0, 0, 0}, 0, kSameWarning, false},  // nothing reported on either side
    };
    for (const auto& c : cases) {
        const NicInfo nic = adapter(c.installed, c.available);
        const int dflt = c.default_yes ? ANSWER_YES : ANSWER_NO;
        SCOPED_TRACE(testing::Message() << c.installed.major << "." << c.installed.minor << "." << c.installed.build
                                        << " -> " << c.available.major << "." << c.available.minor << "."
                                        << c.available.build << " flags 0x" << std::hex << c.flags);

        // Interactive: an empty line takes the default shown in the prompt.
        Outcome asked = judge(nic, c.flags, "\n");
        EXPECT_EQ(asked.answer, dflt);
        const std::string shown_default = c.default_yes ? " y/n/q (y):" : " y/n/q (n):";
        EXPECT_NE(asked.console.find(shown_default), std::string::npos) << asked.console;
        EXPECT_EQ(asked.log.rfind(c.warning, 0), 0u) << asked.log;
        EXPECT_NE(asked.log.find("[INFO]   :\nUpdate firmware"), std::string::npos);

        // Silent: the default, nothing shown, only the warning logged.
        Outcome silent = judge(nic, c.flags | RUN_SILENT, "y\n");
        EXPECT_EQ(silent.answer, dflt);
        EXPECT_EQ(silent.console, "");
        EXPECT_EQ(silent.log, c.warning);

        // Silent and forced: yes in every case.
        Outcome forced = judge(nic, c.flags | RUN_SILENT | RUN_FORCE, "n\n");
        EXPECT_EQ(forced.answer, ANSWER_YES);
        EXPECT_EQ(forced.console, "");
    }
}

TEST_F(UpdateDecision, QuestionTextByteForByte)
{
    const std::string question =
        "\nUpdate firmware : ROM combo version 1.2.8 to 1.3.21 ?\n"
        "\t\t\t\t\t(PXE update from 1.3.33 to 1.3.45)\n"
        "\t\t\t\t\t(Setup update from 2.2.6 to 2.2.8)\n"
        "\t\t\t\t\t(OCD update from 1.0.7 to 1.0.9)\n";
    g_ninfo = {adapter({1, 2, 8}, {1, 3, 21})};
    char buffer[QUESTION_SIZE];
    fw_version_message(buffer, sizeof buffer, 0);
    EXPECT_EQ(buffer, question);

    Outcome asked = judge(g_ninfo[0], 0, "n\n");
    EXPECT_EQ(asked.console, question + " y/n/q (y):");
    EXPECT_EQ(asked.log, "[INFO]   :" + question + " y/n/q (y): n\n\n");

    char small[16];
    fw_version_message(small, sizeof small, 0);
    EXPECT_EQ(std::string(small), question.substr(0, sizeof small - 1));
}

TEST_F(UpdateDecision, VerdictOnTheRecord)
{
    const char kNoImage[] = "[WARNING]:Failed to get firmware image filename from nic_fw/NICFWData.xml\n";
    const char kAnswerLogged[] = "[INFO]   :";  // the start of the log: the answer was read
    const struct {
        const char* name;
        uint32_t flags;
        const char* fw_file;
        const char* input;
        int result;
        uint32_t flags_after;
        uint32_t run_flags_after;
        const char* image_path;
        const char* log;  // the whole log, or its start when it is kAnswerLogged
    } cases[] = {
        {"accepted", NIC_HAS_ROM, "dz10.bin", "y\n", FWUPG_OK, NIC_HAS_ROM | NIC_UPDATE, RUN_ACCEPTED,
         "./nic_fw/dz10.bin", kAnswerLogged},
        {"declined", NIC_HAS_ROM, "dz10.bin", "n\n", FWUPG_OK, 0, 0, "./nic_fw/dz10.bin", kAnswerLogged},
        {"quit", NIC_HAS_ROM, "dz10.bin", "q\n", FWUPG_OK, 0, RUN_USER_QUIT, "./nic_fw/dz10.bin", kAnswerLogged},
        {"end of input", NIC_HAS_ROM, "dz10.bin", "", FWUPG_OK, 0, RUN_USER_QUIT, "./nic_fw/dz10.bin", ""},
        {"no ROM version", NIC_UPDATE, "dz10.bin", "y\n", FWUPG_ERR, NIC_UPDATE, 0, "", ""},
        {"no image", NIC_HAS_ROM, "n/a", "y\n", FWUPG_ERR, NIC_HAS_ROM, 0, "", kNoImage},
        {"no image, embedded", NIC_HAS_ROM, "dz-n/a.bin", "y\n", FWUPG_ERR, NIC_HAS_ROM, 0, "", kNoImage},
        // A catalog entry without an image name is no image either: flashing
        // the image directory itself can only fail.
        {"image name absent", NIC_HAS_ROM, "", "y\n", FWUPG_ERR, NIC_HAS_ROM, 0, "", kNoImage},
        // Nor may a name with shell syntax reach the flash command.
        {"image name with shell syntax", NIC_HAS_ROM, "dz10.bin;reboot", "y\n", FWUPG_ERR, NIC_HAS_ROM, 0, "",
         kNoImage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::reset_run_state();
        NicInfo nic = adapter({1, 2, 3}, {1, 2, 4});
        nic.flags = c.flags;
        nic.fw_file = c.fw_file;
        g_ninfo = {nic};

        EventLogCapture log;
        ScopedStdin in(c.input);
        testing::internal::CaptureStdout();
        EXPECT_EQ(select_firmware(0), c.result);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(g_ninfo[0].flags, c.flags_after);
        EXPECT_EQ(g_iFlag, c.run_flags_after);
        EXPECT_EQ(g_ninfo[0].fw_image_path, c.image_path);
        if (c.log == kAnswerLogged)
            EXPECT_EQ(log.text().rfind(kAnswerLogged, 0), 0u) << log.text();
        else
            EXPECT_EQ(log.text(), c.log);
    }
}

} // namespace
