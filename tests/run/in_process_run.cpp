#include "in_process_run.h"

#include "driver/staging.h"
#include "inventory/nic_info.h"
#include "lib/config.h"
#include "lib/interrupts.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "run/run_control.h"
#include "support/run_state.h"

using namespace testing_support;

namespace app_test {

namespace {

const char kSystemModule[] = "the system's own module\n";
const char kImageCombo[] = "1.3.21";

std::string mac_text(int nic)
{
    return "001B2100000" + std::to_string(nic);
}

FakeInterface interface(int nic)
{
    return pci_nic("eth" + std::to_string(nic - 1), "0000:0" + std::to_string(nic + 2) + ":00.0", mac_text(nic));
}

} // namespace

void InProcessRun::SetUp()
{
    if (!pkg.has_simulator())
        GTEST_SKIP() << "the flash-tool simulator is not built";
    reset_run_state();
    pkg.add_image_file("dz10.bin");
    pkg.write_catalog({{"Dazed Dual Port", "8086", "10C9", "8086", "A02C", "dz10.bin"}});
    write_state("");
    write_file(pkg.file("durivozo/RHEL8-5.14.0_durivozo.ko"), "staged\n");
    make_dirs(root.file("etc"));
    make_dirs(root.file("var/lib"));
    write_file(root.file("etc/redhat-release"), "");
    make_dirs(root.file("lib/modules/5.14.0-fake/kernel/drivers/net"));
    write_file(module_file(), kSystemModule);
    host = std::make_unique<FakeHost>(std::vector<FakeInterface>{interface(1), interface(2)}, root.path());
    cwd_ = std::make_unique<ScopedCwd>(pkg.path());
}

void InProcessRun::TearDown()
{
    cwd_.reset();
    host.reset();
    reset_run_state();
    g_EventLogPath = g_EventLogName;
}

void InProcessRun::write_state(const std::string& first_keys, const std::string& second_keys)
{
    std::string state;
    int nic = 1;
    for (const std::string& keys : {first_keys, second_keys}) {
        state += "adapter nic=" + std::to_string(nic) + " mac=" + mac_of(nic) +
                 " psid=DZ10C9-01 combo=1.2.8 pxe=1.3.33 setup=2.2.6 ocd=1.0.7 " + keys + "\n";
        ++nic;
    }
    state += "image file=dz10.bin psid=DZ10C9-01 combo=1.3.21 pxe=1.3.45 setup=2.2.8 ocd=1.0.9\n";
    pkg.write_state(state);
}

InProcessRun::Outcome InProcessRun::run(const std::vector<std::string>& args)
{
    std::vector<std::string> texts{"dazed-fug"};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& t : texts)
        argv.push_back(&t[0]);
    argv.push_back(nullptr);

    reset_run_state();
    Outcome outcome;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    outcome.result = ::run_dazed_fug(static_cast<int>(texts.size()), argv.data());
    fflush(stdout);
    outcome.out = testing::internal::GetCapturedStdout();
    outcome.err = testing::internal::GetCapturedStderr();
    outcome.log = read_file(pkg.file("bootutil.log"));
    return outcome;
}

std::string InProcessRun::mac_of(int nic)
{
    return mac_text(nic);
}

std::vector<int> InProcessRun::flashed() const
{
    std::vector<int> out;
    for (int nic : {1, 2}) {
        if (pkg.adapter_value(mac_of(nic), "combo") == kImageCombo)
            out.push_back(nic);
    }
    return out;
}

size_t InProcessRun::tool_invocations_with(const std::string& part) const
{
    return containing(pkg.tool_invocations(), part).size();
}

void InProcessRun::expect_module_tree_as_before() const
{
    EXPECT_EQ(read_file(module_file()), kSystemModule);
    EXPECT_FALSE(file_exists(pkg.file("durivozo.ko")));
}

std::string InProcessRun::module_file() const
{
    return root.file("lib/modules/5.14.0-fake/kernel/drivers/net/durivozo.ko");
}

std::string interrupted_log_end(const char* signal_name)
{
    return std::string("[ERROR]  :Interrupted by ") + signal_name + "; stopping.\n" +
           "\nReturn Value: FWUPG_QUIT [5]\n" + std::string(60, '=') + "\n\n";
}

} // namespace app_test
