// The flash-tool simulator, driven exactly as the program drives the real
// tool: the program's own command lines through /bin/sh, its own word
// picking on the output.
#include "inventory/nic_info.h"
#include "lib/shell.h"
#include "support/test_support.h"
#include "tool/flash_tool.h"
#include "tool/tool_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

using namespace testing_support;

namespace {

const char kImg1[] = "./nic_fw/img1.bin";
const char kImg2[] = "./nic_fw/img2.bin";

const char kState[] =
    "# lab host\n"
    "adapter nic=1 mac=001B21123456 psid=DZ10C9-01 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7 slot=4\n"
    "\n"
    "adapter nic=3 mac=001B21ABCDEF psid=DZ10C9-02 combo=10.100.1000 pxe=1.2.3.4.5.6.7 setup=2.2.6 ocd=1.0.7\n"
    "adapter nic=7 mac=001B21777777 psid=DZ10C9-01 omit=list,ocd\n"
    "image file=img1.bin psid=DZ10C9-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n"
    "image file=img2.bin psid=DZ10C9-02 combo=2.0.1 pxe=2.0.2 setup=2.0.3 ocd=2.0.4 omit=combo,setup\n";

class BootutilSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (install_simulator(dir_.path()).empty())
            GTEST_SKIP() << "bootutil-sim is not built";
        unsetenv("BOOTUTIL_SIM_STATE");
        unsetenv("BOOTUTIL_SIM_LOG");
        make_dirs(dir_.file("nic_fw"));
        write_file(dir_.file("nic_fw/img1.bin"), "image one");
        write_file(dir_.file("nic_fw/img2.bin"), "image two");
        write_file(dir_.file("nic_fw/stray.bin"), "not in the state");
        set_state(kState);
    }

    void set_state(const std::string& text) { write_file(state_path(), text); }
    std::string state_path() const { return dir_.file("bootutil-sim.state"); }
    std::string state() const { return read_file(state_path()); }
    std::string file(const char* name) const { return read_file(dir_.file(name)); }

    int run(const std::string& command)
    {
        ScopedCwd cwd(dir_.path());
        return do_command(command);
    }

    // Word n of the first line the label picks out of source, as the
    // program reads it; "-" when nothing is found.
    std::string pick(const char* source, const char* label, int n)
    {
        ScopedCwd cwd(dir_.path());
        do_command(cmd_pick_lines(source, label));
        char word[64] = "-";
        get_nth_word_from_file(TMP_DATA_TMP, n, word, sizeof word);
        return word[0] == '\0' ? "-" : word;
    }

    int count(const char* source, const char* pattern)
    {
        run(cmd_count_lines(source, pattern));
        return atoi(file(TMP_DATA_TMP).c_str());
    }

    std::string first_picked_line(const char* source, const char* pattern)
    {
        run(cmd_pick_lines(source, pattern));
        std::vector<std::string> lines = split_lines(file(TMP_DATA_TMP));
        return lines.empty() ? "" : lines[0];
    }

    TempDir dir_;
};

TEST_F(BootutilSim, AdapterListGivesToolNumberAsWordTwo)
{
    ASSERT_EQ(run(cmd_list_adapters()), 0);
    EXPECT_EQ(split_lines(file(TMP_DATA_CUR)).size(), 2u);

    const struct {
        const char* mac;
        int lines;
        std::string number;
    } rows[] = {
        {"001B21123456", 1, "1"},
        {"001B21ABCDEF", 1, "3"},
        {"001B21777777", 0, "-"},  // omit=list
        {"001b21123456", 0, "-"},  // the search is case-sensitive
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mac);
        EXPECT_EQ(count(TMP_DATA_CUR, row.mac), row.lines);
        EXPECT_EQ(pick(TMP_DATA_CUR, row.mac, 2), row.number);
        run(cmd_find_adapter(row.mac));
        char word[8] = "-";
        {
            ScopedCwd cwd(dir_.path());
            get_nth_word_from_file(TMP_DATA_TMP, 2, word, sizeof word);
        }
        EXPECT_EQ(std::string(word[0] ? word : "-"), row.number);
    }
}

TEST_F(BootutilSim, ReportsPutEachVersionWhereTheProgramPicksIt)
{
    const struct {
        std::string command;
        const char* label;
        int word;
        std::string expected;  // "-": no word there
        int lines;             // lines carrying the label
    } rows[] = {
        {cmd_image_versions(kImg1), LABEL_COMBO_VERSION, 5, "1.3.21", 1},
        {cmd_image_versions(kImg1), LABEL_OCD_ROM, 4, "v1.0.9", 1},
        {cmd_image_versions_for_nic(kImg1, "1"), LABEL_PXE, 2, "v1.3.45", 1},
        {cmd_image_versions_for_nic(kImg1, "1"), LABEL_SETUP, 2, "v2.2.8", 1},
        {cmd_installed_versions("1"), LABEL_COMBO_VERSION, 5, "1.2.8", 1},
        {cmd_installed_versions("1"), LABEL_PXE, 2, "v1.3.33", 1},
        {cmd_installed_versions("1"), LABEL_SETUP, 2, "v2.2.6", 1},
        {cmd_installed_versions("1"), LABEL_OCD, 2, "v1.0.7", 1},
        {cmd_installed_versions("01"), LABEL_PXE, 2, "v1.3.33", 1},
        // Long words pass through unchanged.
        {cmd_installed_versions("3"), LABEL_COMBO_VERSION, 5, "10.100.1000", 1},
        {cmd_installed_versions("3"), LABEL_PXE, 2, "v1.2.3.4.5.6.7", 1},
        // Faults: the image's and the adapter's omit= lists.
        {cmd_image_versions(kImg2), LABEL_COMBO_VERSION, 5, "-", 0},
        {cmd_image_versions(kImg2), LABEL_OCD_ROM, 4, "v2.0.4", 1},
        {cmd_image_versions_for_nic(kImg2, "3"), LABEL_PXE, 2, "v2.0.2", 1},
        {cmd_image_versions_for_nic(kImg2, "3"), LABEL_SETUP, 2, "-", 0},
        {cmd_installed_versions("7"), LABEL_OCD, 2, "-", 0},
        // An empty version leaves the word out, or a bare "v".
        {cmd_installed_versions("7"), LABEL_COMBO_VERSION, 5, "-", 1},
        {cmd_installed_versions("7"), LABEL_PXE, 2, "v", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command + row.label);
        ASSERT_EQ(run(row.command), 0);
        EXPECT_EQ(pick(TMP_DATA_IMG, row.label, row.word), row.expected);
        EXPECT_EQ(count(TMP_DATA_IMG, row.label), row.lines);
    }

    RomVersion version{9, 9, 9};
    EXPECT_EQ(parseversions("1.3.21", &version.major, &version.minor, &version.build), 0);
    EXPECT_EQ(version_text(version), "1.3.21");
}

// A loose pattern must pick a noise line first, so that loose parsing in
// the program shows in its results.
TEST_F(BootutilSim, NoiseLinesComeFirstForLoosePatterns)
{
    const struct {
        std::string command;
        const char* source;
        const char* loose;
        const char* exact;
    } rows[] = {
        {"(./bootutil -E > data_cur.dat)", TMP_DATA_CUR, "NIC", "MACAddress="},
        {"(./bootutil -E > data_cur.dat)", TMP_DATA_CUR, "MACAddress", "MACAddress="},
        {cmd_image_versions(kImg1), TMP_DATA_IMG, "Combo", LABEL_COMBO_VERSION},
        {cmd_image_versions(kImg1), TMP_DATA_IMG, "\"Combo Image Version\"", LABEL_COMBO_VERSION},
        {cmd_image_versions(kImg1), TMP_DATA_IMG, "\"OCD Option\"", LABEL_OCD_ROM},
        {cmd_image_versions(kImg1), TMP_DATA_IMG, "ROM", LABEL_OCD_ROM},
        {cmd_image_versions_for_nic(kImg1, "1"), TMP_DATA_IMG, "PXE", LABEL_PXE},
        {cmd_image_versions_for_nic(kImg1, "1"), TMP_DATA_IMG, "\"PXE v\"", LABEL_PXE},
        {cmd_image_versions_for_nic(kImg1, "1"), TMP_DATA_IMG, "\"Setup v\"", LABEL_SETUP},
        {cmd_installed_versions("1"), TMP_DATA_IMG, "Combo", LABEL_COMBO_VERSION},
        {cmd_installed_versions("1"), TMP_DATA_IMG, "\"OCD v\"", LABEL_OCD},
        {cmd_installed_versions("1"), TMP_DATA_IMG, "OCD", LABEL_OCD},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command + row.loose);
        ASSERT_EQ(run(row.command), 0);
        std::string wanted = first_picked_line(row.source, row.exact);
        ASSERT_FALSE(wanted.empty());
        EXPECT_NE(first_picked_line(row.source, row.loose), wanted);
    }
    // The list has a blank line and header lines with "NIC" alone.
    run("(./bootutil -E > data_cur.dat)");
    EXPECT_NE(file(TMP_DATA_CUR).find("\n\n"), std::string::npos);
    EXPECT_GE(count(TMP_DATA_CUR, "NIC") - count(TMP_DATA_CUR, "MACAddress="), 2);
}

TEST_F(BootutilSim, RefusedCommandsExitNonZeroAndChangeNothing)
{
    const struct {
        std::string command;
        int exit_code;
    } rows[] = {
        {cmd_installed_versions("9"), 3},
        {cmd_installed_versions(""), 3},
        {cmd_installed_versions("x1"), 3},
        {cmd_image_versions_for_nic(kImg1, "9"), 3},
        {cmd_image_versions_for_nic(kImg1, ""), 3},
        {cmd_image_versions("./nic_fw/missing.bin"), 2},
        {cmd_image_versions("./elsewhere/img1.bin"), 2},  // known name, no file
        {cmd_image_versions("./nic_fw/stray.bin"), 2},    // file, unknown name
        {cmd_image_versions("./nic_fw"), 2},
        {cmd_flash(9, kImg1), 3},
        {cmd_flash(1, "./nic_fw/stray.bin"), 2},
        {"./bootutil > data_img.dat", 1},
        {"./bootutil -iv -FILE=./nic_fw/img1.bin > data_img.dat", 1},
        {"./bootutil -E -E > data_img.dat", 1},
        {"./bootutil -e > data_img.dat", 1},
        {"./bootutil -iv -QUIET -NIC=1 -NIC=1 > data_img.dat", 1},
        {"./bootutil -NIC=1 -up=pxe -QUIET -FILE=./nic_fw/img1.bin > data_img.dat", 1},
        {"./bootutil -iv -quiet -NIC=1 > data_img.dat", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(run(row.command), row.exit_code);
        std::string out = file(TMP_DATA_IMG) + file(FLASH_OUTPUT);
        EXPECT_NE(out.find("Error: "), std::string::npos);
        EXPECT_EQ(out.find("Version Name"), std::string::npos);
        EXPECT_EQ(out.find("PSID Mismatch"), std::string::npos);
        EXPECT_EQ(state(), kState);
        run("rm -f data_img.dat out.txt");
    }
}

TEST_F(BootutilSim, FlashGivesTheAdapterTheImageVersions)
{
    ASSERT_EQ(run(cmd_flash(1, kImg1)), 0);
    EXPECT_NE(run(cmd_search_psid_mismatch()), 0);
    EXPECT_NE(file(FLASH_OUTPUT).find("successful"), std::string::npos);

    std::string expected = kState;
    const std::string before = "combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7 slot=4";
    expected.replace(expected.find(before), before.size(),
                     "combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9 slot=4");
    EXPECT_EQ(state(), expected);

    ASSERT_EQ(run(cmd_installed_versions("1")), 0);
    EXPECT_EQ(pick(TMP_DATA_IMG, LABEL_COMBO_VERSION, 5), "1.3.21");
    EXPECT_EQ(pick(TMP_DATA_IMG, LABEL_OCD, 2), "v1.0.9");

    // Missing version keys are added; the adapter's own keys stay.
    ASSERT_EQ(run(cmd_flash(7, kImg1)), 0);
    EXPECT_NE(state().find("adapter nic=7 mac=001B21777777 psid=DZ10C9-01 omit=list,ocd "
                           "combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n"),
              std::string::npos);

    // flash_takes: the flash succeeds, but the adapter keeps another combo.
    set_state("adapter nic=1 mac=001B21123456 psid=DZ10C9-01 combo=1.2.8 flash_takes=1.3.20\n"
              "image file=img1.bin psid=DZ10C9-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n");
    ASSERT_EQ(run(cmd_flash(1, kImg1)), 0);
    EXPECT_NE(file(FLASH_OUTPUT).find("replaced by 1.3.21"), std::string::npos);
    EXPECT_EQ(state().substr(0, state().find('\n')),
              "adapter nic=1 mac=001B21123456 psid=DZ10C9-01 combo=1.3.20 flash_takes=1.3.20 "
              "pxe=1.3.45 setup=2.2.8 ocd=1.0.9");
}

TEST_F(BootutilSim, FailedFlashLeavesTheStateAlone)
{
    const struct {
        const char* faults;  // added to adapter 1
        int nic;
        const char* image;
        int exit_code;
        bool psid_mismatch;
        const char* output;
    } rows[] = {
        {"", 3, kImg1, 8, true, "PSID Mismatch, image DZ10C9-01 does not fit adapter DZ10C9-02"},
        {"", 1, kImg2, 8, true, "PSID Mismatch"},
        {" flash_exit=5", 1, kImg1, 5, false, "Writing flash: 50%"},
        {" flash_exit=0", 1, kImg1, 0, false, "Flash write failed"},
        {" flash_signal=9", 1, kImg1, 128 + 9, false, "Writing flash: 50%"},
        {" flash_signal=15 flash_exit=4", 1, kImg1, 128 + 15, false, "Writing flash: 50%"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.nic) + row.faults);
        std::string faulty = kState;
        faulty.insert(faulty.find(" slot=4"), row.faults);
        set_state(faulty);
        EXPECT_EQ(run(cmd_flash(row.nic, row.image)), row.exit_code);
        EXPECT_EQ(run(cmd_search_psid_mismatch()) == 0, row.psid_mismatch);
        EXPECT_NE(file(FLASH_OUTPUT).find(row.output), std::string::npos) << file(FLASH_OUTPUT);
        EXPECT_EQ(file(FLASH_OUTPUT).find("successful"), std::string::npos);
        EXPECT_EQ(state(), faulty);
    }
}

TEST_F(BootutilSim, DelaysSlowTheAnswer)
{
    using clock = std::chrono::steady_clock;
    std::string slow = kState;
    slow.insert(slow.find(" slot=4"), " report_delay=0.3 flash_delay=0.3");
    set_state(slow);
    for (const std::string& command :
         {cmd_installed_versions("1"), cmd_image_versions_for_nic(kImg1, "1"), cmd_flash(1, kImg1)}) {
        SCOPED_TRACE(command);
        auto start = clock::now();
        EXPECT_EQ(run(command), 0);
        EXPECT_GE(clock::now() - start, std::chrono::milliseconds(300));
    }
    EXPECT_NE(state().find("combo=1.3.21"), std::string::npos);
}

TEST_F(BootutilSim, StderrOnWritesWhereAsked)
{
    std::string noisy = kState;
    noisy.insert(noisy.find(" slot=4"), " stderr_on=iv,flash");
    noisy.insert(noisy.find(" setup=2.2.6 ocd=1.0.7\nadapter nic=7"), " stderr_on=list");
    set_state(noisy);
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"-E"}, "(list, NIC 3)"},
        {{"-iv", "-QUIET", "-NIC=1"}, "(iv, NIC 1)"},
        {{"-iv", "-QUIET", "-FILE=./nic_fw/img1.bin"}, ""},  // no adapter named
        {{"-NIC=1", "-up=pxe+clp+ocd", "-QUIET", "-FILE=./nic_fw/img1.bin"}, "(flash, NIC 1)"},
    };
    for (const auto& [args, said] : rows) {
        std::vector<std::string> argv{dir_.file("bootutil")};
        argv.insert(argv.end(), args.begin(), args.end());
        RunResult r = run_program(argv, dir_.path());
        EXPECT_EQ(r.err, said.empty() ? "" : "bootutil-sim: a message on standard error " + said + "\n") << args[0];
    }
}

TEST_F(BootutilSim, ConcurrentFlashesBothLand)
{
    set_state("adapter nic=1 mac=001B21000001 psid=P combo=1.0.0 flash_delay=0.2\n"
              "adapter nic=2 mac=001B21000002 psid=P combo=1.0.0 flash_delay=0.2\n"
              "image file=img1.bin psid=P combo=3.0.0 pxe=3 setup=3 ocd=3\n");
    ASSERT_EQ(run("(./bootutil -NIC=1 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/img1.bin > a.txt & "
                  "./bootutil -NIC=2 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/img1.bin > b.txt & wait)"),
              0);
    std::string text = state();
    EXPECT_NE(text.find("nic=1 mac=001B21000001 psid=P combo=3.0.0"), std::string::npos) << text;
    EXPECT_NE(text.find("nic=2 mac=001B21000002 psid=P combo=3.0.0"), std::string::npos) << text;
}

TEST_F(BootutilSim, LogRecordsArgumentsAndShellCommand)
{
    run(cmd_list_adapters());
    run(cmd_image_versions(kImg1));
    run(cmd_flash(3, kImg1));
    run_program({dir_.file("bootutil"), "-iv", "-QUIET", "-NIC=1"}, dir_.path());
    EXPECT_EQ(file("bootutil-sim.log"),
              "-E\t(./bootutil -E  | grep NIC | grep MACAddress > data_cur.dat)\\n\n"
              "-iv -QUIET -FILE=./nic_fw/img1.bin\t"
              "(./bootutil -iv -QUIET -FILE=./nic_fw/img1.bin > data_img.dat)\\n\n"
              "-NIC=3 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/img1.bin\t"
              "(./bootutil -NIC=3 -up=pxe+clp+ocd -QUIET -FILE=./nic_fw/img1.bin > out.txt 2>&1)\\n\n"
              "-iv -QUIET -NIC=1\t\n");
}

TEST_F(BootutilSim, EnvironmentNamesAnotherStateAndLog)
{
    write_file(dir_.file("other.state"), "adapter nic=5 mac=00AA00BB00CC psid=X\n");
    ASSERT_EQ(run("BOOTUTIL_SIM_STATE=other.state BOOTUTIL_SIM_LOG=other.log ./bootutil -E > data_cur.dat"),
              0);
    EXPECT_EQ(pick(TMP_DATA_CUR, "00AA00BB00CC", 2), "5");
    EXPECT_EQ(file("other.log").rfind("-E\t", 0), 0u);
    EXPECT_FALSE(file_exists(dir_.file("bootutil-sim.log")));

    // Without a state file the host has nothing.
    ASSERT_EQ(run("BOOTUTIL_SIM_STATE=none.state ./bootutil -E > data_cur.dat"), 0);
    EXPECT_EQ(count(TMP_DATA_CUR, "MACAddress="), 0);
    EXPECT_NE(file(TMP_DATA_CUR).find("Found 0 NICs"), std::string::npos);
}

TEST_F(BootutilSim, MalformedStateIsRefusedWithItsLine)
{
    for (const char* bad : {"adaptor nic=1", "adapter mac=001B21123456", "adapter nic=x",
                            "adapter nic=1 flash_exit=300", "adapter nic=1 flash_signal=0",
                            "adapter nic=1 flash_signal=19",
                            "adapter nic=1 report_delay=-1", "adapter nic=1 omit=combo,bogus", "adapter nic=1 stderr_on=ocd",
                            "image omit=ocd", "adapter nic=1 stray", "adapter nic=1 =1"}) {
        SCOPED_TRACE(bad);
        set_state(std::string("# comment\n") + bad + "\n");
        RunResult r = run_program({dir_.file("bootutil"), "-E"}, dir_.path());
        EXPECT_EQ(r.exit_status, 9);
        EXPECT_NE(r.err.find("bootutil-sim.state:2: "), std::string::npos) << r.err;
    }
}

} // namespace
