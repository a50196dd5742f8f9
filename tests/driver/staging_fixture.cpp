#include "staging_fixture.h"

using namespace testing_support;

namespace {

std::string g_fake_release;
bool g_fake_uname_fails = false;

int fake_kernel_release(std::string* release)
{
    if (g_fake_uname_fails)
        return -1;
    *release = g_fake_release;
    return 0;
}

template <typename Call>
StagingTest::Outcome captured(Call call)
{
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    StagingTest::Outcome outcome;
    outcome.rc = call();
    outcome.console = ::testing::internal::GetCapturedStdout();
    outcome.errors = ::testing::internal::GetCapturedStderr();
    return outcome;
}

} // namespace

void StagingTest::SetUp()
{
    saved_flags_ = g_iFlag;
    g_iFlag = 0;
    reset_staging_state();
    seam_->root = root_.path();
    seam_->kernel_release = fake_kernel_release;
    g_fake_uname_fails = false;
    set_release("2.6.18-92.el5PAE");

    make_dirs(root_.file("etc"));
    make_dirs(root_.file("var/lib"));
    make_dirs(wd_.file("durivozo"));
    // The log lives beside the fixture root, not in the working directory
    // whose contents the tests inspect.
    log_path_ = root_.file("test.log");
    dazed_fout = fopen(log_path_.c_str(), "w");
    ASSERT_NE(dazed_fout, nullptr);
    cwd_ = std::make_unique<ScopedCwd>(wd_.path());
}

void StagingTest::TearDown()
{
    cwd_.reset();
    if (dazed_fout != nullptr)
        fclose(dazed_fout);
    dazed_fout = nullptr;
    reset_staging_state();
    g_iFlag = saved_flags_;
}

void StagingTest::set_release(const std::string& release)
{
    release_ = release;
    g_fake_release = release;
    g_fake_uname_fails = false;
}

void StagingTest::fail_uname()
{
    g_fake_uname_fails = true;
}

void StagingTest::add_release_file(const char* name)
{
    make_dirs(root_.file("etc"));
    write_file(root_.file(std::string("etc/") + name), "");
}

void StagingTest::add_prebuilt(const std::string& name, const std::string& content)
{
    write_file(wd_.file("durivozo/" + name), content);
}

void StagingTest::add_system_module(const std::string& content)
{
    make_dirs(module_dir());
    write_file(module_file(), content);
}

void StagingTest::add_working_copy(const std::string& content)
{
    write_file(working_copy(), content);
}

std::string StagingTest::module_dir() const
{
    return root_.path() + "/lib/modules/" + release_ + "/kernel/drivers/net";
}

std::string StagingTest::log_text()
{
    fflush(dazed_fout);
    return read_file(log_path_);
}

StagingTest::Outcome StagingTest::stage()
{
    return captured([] { return update_iqv_driver(); });
}

StagingTest::Outcome StagingTest::restore()
{
    return captured([] { return restore_iqv_driver(); });
}
