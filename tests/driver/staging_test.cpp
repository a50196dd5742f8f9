#include "staging_fixture.h"

#include "driver/module_files.h"
#include "driver/module_record.h"
#include "lib/durable_file.h"
#include "lib/return_codes.h"
#include "lib/sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <vector>

using namespace testing_support;

namespace {

// Prebuilt modules named as a package ships them; each holds its own name.
// The decoys are what a wrong variant or distribution would pick.
const char* const kPrebuilt[] = {
    "RHEL5-2.6.18PAE_durivozo.ko",    "RHEL5-2.6.18xen_durivozo.ko",
    "RHEL5-2.6.18_durivozo.ko",       "RHEL4-2.6.9-smp_durivozo.ko",
    "RHEL9-4.1_durivozo.ko",          "RHEL5-2.6.16default_durivozo.ko",
    "SLES10-2.6.16pae_durivozo.ko",   "SLES10-2.6.16xenpae_durivozo.ko",
    "SLES10-2.6.16kdumppae_durivozo.ko", "SLES10-2.6.16xen_durivozo.ko",
    "SLES10-2.6.16bigsmp_durivozo.ko", "SLES10-2.6.16smp_durivozo.ko",
    "SLES10-2.6.16default_durivozo.ko", "SLES10-2.6.16kdump_durivozo.ko",
};

constexpr unsigned kSuse = 1;
constexpr unsigned kRedhat = 2;

struct PickCase {
    const char* release;
    unsigned release_files;
    const char* staged;
};

const PickCase kPickCases[] = {
    {"2.6.18-92.el5PAE", kRedhat, "RHEL5-2.6.18PAE_durivozo.ko"},
    {"2.6.16.60-0.21-pae", kSuse, "SLES10-2.6.16pae_durivozo.ko"},
    {"2.6.16.60-0.21-xenpae", kSuse, "SLES10-2.6.16pae_durivozo.ko"},
    {"2.6.16.60-0.21-kdumppae", kSuse, "SLES10-2.6.16pae_durivozo.ko"},
    {"2.6.18-92.el5xen", kRedhat, "RHEL5-2.6.18xen_durivozo.ko"},
    {"2.6.16.60-0.21-bigsmp", kSuse, "SLES10-2.6.16bigsmp_durivozo.ko"},
    {"2.6.16.60-0.21-default", kSuse, "SLES10-2.6.16default_durivozo.ko"},
    {"2.6.16.60-0.21-kdump", kSuse, "SLES10-2.6.16kdump_durivozo.ko"},
    {"2.6.9-78.ELsmp", kRedhat, "RHEL4-2.6.9-smp_durivozo.ko"},
    {"2.6.18-92.el5", kRedhat, "RHEL5-2.6.18_durivozo.ko"},
    {"4.1", kRedhat, "RHEL9-4.1_durivozo.ko"},
    {"2.6.16.60-0.21-default", kSuse | kRedhat, "SLES10-2.6.16default_durivozo.ko"},
};

TEST_F(StagingTest, StagesThePrebuiltModuleForTheReleaseAndRemovesItAfterwards)
{
    for (const char* name : kPrebuilt)
        add_prebuilt(name, name);

    for (const PickCase& c : kPickCases) {
        SCOPED_TRACE(std::string(c.release) + " -> " + c.staged);
        reset_staging_state();
        set_release(c.release);
        remove(root_.file("etc/SuSE-release").c_str());
        remove(root_.file("etc/redhat-release").c_str());
        if (c.release_files & kSuse)
            add_release_file("SuSE-release");
        if (c.release_files & kRedhat)
            add_release_file("redhat-release");
        make_dirs(module_dir());

        Outcome staged = stage();
        EXPECT_EQ(staged.rc, FWUPG_OK) << staged.errors;
        EXPECT_STREQ(kernel_path, module_file().c_str());
        EXPECT_EQ(read_file(module_file()), c.staged);
        EXPECT_FALSE(file_exists(backup_file()));

        restore();
        EXPECT_FALSE(file_exists(module_file()));
        EXPECT_TRUE(file_exists(module_dir()));
    }
    EXPECT_EQ(log_text().find("[ERROR]"), std::string::npos);
}

// One staging and its restore, from what the host and the working directory
// hold; "-" stands for no such file. The system's module is kept in root's
// state directory while staged, never in the working directory, whose
// durivozo.ko (earlier versions kept one there) is ignored.
TEST_F(StagingTest, StagingAndRestoreByWhatIsThere)
{
    const std::string unsupported = "kernel: 3.10.0-1160.el7.x86_64 is not supported by the component.\n";
    const struct {
        const char* name;
        const char* release;  // null: uname fails
        bool release_file;
        const char* system;   // the system's module
        const char* leftover; // a durivozo.ko in the working directory
        int rc;
        std::string console;
        const char* logged;
        const char* staged;           // the module file after staging
        const char* kept;             // the state directory's copy while staged
        const char* module_after;     // after restore
    } cases[] = {
        {"set aside and put back", "2.6.18-92.el5PAE", true, "system", "-", FWUPG_OK, "", "", "staged", "system",
         "system"},
        {"working copy, no system module", "2.6.18-92.el5PAE", true, "-", "earlier", FWUPG_OK, "",
         "[WARNING]:./durivozo.ko in the working directory is ignored", "staged", "-", "-"},
        {"working copy beside the system module", "2.6.18-92.el5PAE", true, "system", "earlier", FWUPG_OK, "",
         "[WARNING]:./durivozo.ko in the working directory is ignored", "staged", "system", "system"},
        {"uname fails", nullptr, true, "system", "earlier", FWUPG_ERR, "Failed to get kernel version\n",
         "[ERROR]  :Failed to get kernel version\n", "system", "-", "system"},
        // Nothing moves: the prebuilt module is looked for first.
        {"unsupported kernel", "3.10.0-1160.el7.x86_64", true, "system", "-", FWUPG_ERR, unsupported,
         "[ERROR]  :kernel: 3.10.0-1160.el7.x86_64 is not supported", "system", "-", "system"},
        {"no release file", "2.6.18-92.el5PAE", false, "system", "earlier", FWUPG_OK, "",
         "[WARNING]:Neither /etc/SuSE-release nor /etc/redhat-release exists", "system", "-", "system"},
    };
    add_prebuilt("RHEL5-2.6.18PAE_durivozo.ko", "staged");
    add_prebuilt("SLES10-2.6.18PAE_durivozo.ko", "staged");
    auto content = [](const std::string& path) { return file_exists(path) ? read_file(path) : "-"; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_staging_state();
        std::system(("rm -rf '" + root_.path() + "/etc' '" + root_.path() + "/lib' '" + working_copy() + "'").c_str());
        if (c.release != nullptr)
            set_release(c.release);
        else
            fail_uname();
        if (c.release_file)
            add_release_file("redhat-release");
        make_dirs(module_dir());
        if (std::string(c.system) != "-")
            add_system_module(c.system);
        if (std::string(c.leftover) != "-")
            add_working_copy(c.leftover);
        write_file(wd_.file(".dazed-Left01"), "half a report of a killed run");

        const size_t logged_before = log_text().size();
        Outcome staged = stage();
        const std::string logged = log_text().substr(logged_before);
        EXPECT_EQ(staged.rc, c.rc) << staged.errors;
        EXPECT_EQ(staged.console, c.console);
        EXPECT_TRUE(contains(logged, c.logged)) << logged;
        EXPECT_EQ(contains(logged, "[ERROR]"), c.rc != FWUPG_OK);
        if (c.release == nullptr) {
            EXPECT_STREQ(kernel_path, "/lib/modules/");  // no path is formed
        } else if (c.rc != FWUPG_OK) {
            // The listing's own complaint names the pattern.
            EXPECT_TRUE(contains(staged.errors, "RHEL*3.10.0_durivozo.ko")) << staged.errors;
        }
        EXPECT_EQ(content(module_file()), c.staged);
        EXPECT_EQ(content(backup_file()), c.kept);
        EXPECT_EQ(file_exists(wd_.file(".dazed-Left01")), c.release == nullptr);
        EXPECT_EQ(restore().rc, FWUPG_OK);
        EXPECT_EQ(content(module_file()), c.module_after);
        EXPECT_EQ(content(working_copy()), c.leftover);
        EXPECT_FALSE(file_exists(backup_file()));
        // Restore runs once: a second must not take the module for a staged one.
        restore();
        EXPECT_EQ(content(module_file()), c.module_after);
    }
}

// Releases that cannot be used safely are refused before any path is formed.
TEST_F(StagingTest, UnusableReleasesAreRefusedAsUnsupported)
{
    const std::string prefix_len_path = root_.path() + "/lib/modules/" + "/kernel/drivers/net/durivozo.ko";
    const std::string too_long(KERNEL_PATH_SIZE - prefix_len_path.size(), 'a');
    const struct {
        std::string release;
        std::string logged;
    } cases[] = {
        {too_long, "[ERROR]  :kernel: aaaa"},
        {"2.6.18;touch pwned", "[ERROR]  :kernel: 2.6.18;touch pwned is not supported by the component.\n"},
        {"2.6.18$(touch pwned)", "[ERROR]  :kernel: 2.6.18$(touch pwned) is not supported"},
        {"2.6.18 *", "[ERROR]  :kernel: 2.6.18 * is not supported"},
        {"", "[ERROR]  :kernel:  is not supported by the component.\n"},
    };
    add_release_file("redhat-release");
    add_working_copy("earlier");

    for (const auto& c : cases) {
        SCOPED_TRACE(c.release.substr(0, 40));
        reset_staging_state();
        set_release(c.release);
        EXPECT_EQ(stage().rc, FWUPG_ERR);
        EXPECT_NE(log_text().find(c.logged), std::string::npos);
        EXPECT_STREQ(kernel_path, "/lib/modules/");
        restore();
        EXPECT_EQ(read_file(working_copy()), "earlier");
        EXPECT_FALSE(file_exists(wd_.file("pwned")));
    }
}

TEST_F(StagingTest, LongestReleaseThatFitsFormsTheWholePath)
{
    const std::string fixed = root_.path() + "/lib/modules/" + "/kernel/drivers/net/durivozo.ko";
    set_release(std::string(KERNEL_PATH_SIZE - 1 - fixed.size(), 'a'));
    add_release_file("redhat-release");

    // No prebuilt module can match it; what counts is the formed path.
    EXPECT_EQ(stage().rc, FWUPG_ERR);
    EXPECT_EQ(strlen(kernel_path), KERNEL_PATH_SIZE - 1);
    EXPECT_EQ(std::string(kernel_path), root_.path() + "/lib/modules/" + release_ + "/kernel/drivers/net/durivozo.ko");
}

// Makes a directory refuse entry removal, for root too; undone on exit.
class LockedDirectory {
public:
    explicit LockedDirectory(const std::string& dir) : dir_(dir)
    {
        if (geteuid() == 0)
            locked_ = std::system(("chattr +i '" + dir_ + "' 2>/dev/null").c_str()) == 0;
        else
            locked_ = chmod(dir_.c_str(), 0555) == 0;
    }
    ~LockedDirectory()
    {
        if (!locked_)
            return;
        if (geteuid() == 0)
            std::system(("chattr -i '" + dir_ + "'").c_str());
        else
            chmod(dir_.c_str(), 0755);
    }
    bool locked() const { return locked_; }

private:
    std::string dir_;
    bool locked_ = false;
};

TEST_F(StagingTest, FailedBackupMoveLeavesTheSystemModuleAlone)
{
    add_release_file("redhat-release");
    add_prebuilt("RHEL5-2.6.18PAE_durivozo.ko", "staged");
    add_system_module("system");

    LockedDirectory lock(module_dir());
    if (!lock.locked())
        GTEST_SKIP() << "cannot make " << module_dir() << " refuse removals here (no chattr +i)";

    Outcome staged = stage();
    EXPECT_EQ(staged.rc, FWUPG_ERR);
    EXPECT_NE(staged.console.find("Could not copy ./durivozo/RHEL5-2.6.18PAE_durivozo.ko into " + module_file() +
                                  " (Operation not permitted); the system's module stays in place"),
              std::string::npos)
        << staged.console;
    EXPECT_NE(log_text().find("[ERROR]  :Could not copy"), std::string::npos);
    EXPECT_FALSE(file_exists(root_.path() + "/var/lib/dazed-fug/staged-module"));
    EXPECT_EQ(read_file(module_file()), "system");
    EXPECT_FALSE(file_exists(backup_file()));

    restore();
    EXPECT_EQ(read_file(module_file()), "system");
    EXPECT_FALSE(file_exists(backup_file()));
}

} // namespace

namespace {

// A run that vanished while staged (its state forgotten here as a SIGKILL
// would) leaves its record; the next staging finishes the restore when the
// files are what the record says, and otherwise refuses, naming where the
// system's module is.
TEST_F(StagingTest, RecoveryFromTheRecordOfAVanishedRun)
{
    const struct {
        const char* name;
        const char* module;  // written over the module file, or null
        const char* backup;  // written over the backup, or null
        int rc;
        const char* logged;
    } cases[] = {
        {"staged module in place", nullptr, nullptr, FWUPG_OK, "[INFO]   :An interrupted run left the system's module at "},
        {"foreign module", "foreign", nullptr, FWUPG_ERR, " holds a module this program did not stage; the system's "
                                                          "module is intact at "},
        {"damaged backup", nullptr, "truncat", FWUPG_ERR, "[ERROR]  :After an interrupted run the system's module "
                                                          "(SHA-256 "},
    };
    add_release_file("redhat-release");
    add_prebuilt("RHEL5-2.6.18PAE_durivozo.ko", "staged");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        add_system_module("system");
        reset_staging_state();
        ASSERT_EQ(stage().rc, FWUPG_OK);
        reset_staging_state();
        if (c.module != nullptr)
            write_file(module_file(), c.module);
        if (c.backup != nullptr)
            write_file(backup_file(), c.backup);
        const std::string record = root_.path() + "/var/lib/dazed-fug/staged-module";

        Outcome again = stage();
        EXPECT_EQ(again.rc, c.rc);
        EXPECT_NE(log_text().find(c.logged), std::string::npos) << log_text();
        EXPECT_EQ(log_text().find("remove"), std::string::npos) << "no message advises removing a file";
        if (c.rc == FWUPG_OK) {
            EXPECT_EQ(read_file(module_file()), "staged");  // staged afresh after the recovery
            EXPECT_EQ(restore().rc, FWUPG_OK);
            EXPECT_EQ(read_file(module_file()), "system");
            EXPECT_FALSE(file_exists(record));
        } else {
            EXPECT_TRUE(file_exists(record));
            EXPECT_EQ(restore().rc, FWUPG_OK);  // nothing staged, nothing to undo
        }
        std::system(("rm -rf '" + root_.path() + "/var/lib/dazed-fug' '" + backup_file() + "'").c_str());
    }
}

} // namespace

namespace {

// A record of the first format names a copy in a working directory, which
// someone else may have swapped: it is used only for what its checksum
// proves, the module gets mode 0644 (that record knows no other), and the
// copy is never removed there.
TEST_F(StagingTest, RecordOfTheFirstFormat)
{
    add_release_file("redhat-release");
    add_prebuilt("RHEL5-2.6.18PAE_durivozo.ko", "staged");
    for (const char* copy : {"system", "forged"}) {
        SCOPED_TRACE(copy);
        add_system_module("system");
        chmod(module_file().c_str(), 0600);
        reset_staging_state();
        ASSERT_EQ(stage().rc, FWUPG_OK);
        reset_staging_state();
        const std::string record = root_.path() + "/var/lib/dazed-fug/staged-module";
        std::string text = std::regex_replace(read_file(record), std::regex("record 2"), "record 1");
        text = std::regex_replace(text, std::regex("backup=[^\n]*"), "backup=" + working_copy());
        write_file(record, std::regex_replace(text, std::regex("system_(mode|uid|gid)=[^\n]*\n"), ""));
        unlink(backup_file().c_str());
        write_file(working_copy(), copy);

        const bool intact = std::string(copy) == "system";
        EXPECT_EQ(stage().rc, intact ? FWUPG_OK : FWUPG_ERR) << log_text();
        EXPECT_EQ(restore().rc, FWUPG_OK);
        EXPECT_EQ(read_file(module_file()), intact ? "system" : "staged");
        struct stat st {};
        EXPECT_EQ(stat(module_file().c_str(), &st) == 0 ? st.st_mode & 0777 : 0, 0644u);
        EXPECT_EQ(read_file(working_copy()), copy);
        EXPECT_EQ(file_exists(record), !intact);
        std::system(("rm -rf '" + root_.path() + "/var/lib/dazed-fug'").c_str());
    }
}

} // namespace

namespace {

// A kernel that loads only signed modules is warned about before the run
// goes on; the module is staged all the same.
TEST_F(StagingTest, UnsignedDriverForAKernelThatTakesOnlySignedOnes)
{
    const struct {
        const char* lockdown;     // null: no such file
        const char* sig_enforce;  // null: no such file
        bool signed_module;
        const char* warned;       // null: no warning
    } cases[] = {
        {"[none] integrity confidentiality\n", "N\n", false, nullptr},
        {"none [integrity] confidentiality\n", "N\n", false, "is locked down (integrity)"},
        {"none integrity [confidentiality]\n", nullptr, false, "is locked down (confidentiality)"},
        {nullptr, "Y\n", false, "enforces module signatures"},
        {"none [integrity] confidentiality\n", "Y\n", true, nullptr},
        {nullptr, nullptr, false, nullptr},
    };
    add_release_file("redhat-release");
    make_dirs(module_dir());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lockdown ? c.lockdown : "-") + (c.sig_enforce ? c.sig_enforce : "-"));
        reset_staging_state();
        add_prebuilt("RHEL5-2.6.18PAE_durivozo.ko",
                     std::string("staged") + (c.signed_module ? "~Module signature appended~\n" : ""));
        for (const auto& [file, text] : {std::pair{"sys/kernel/security/lockdown", c.lockdown},
                                        std::pair{"sys/module/module/parameters/sig_enforce", c.sig_enforce}}) {
            unlink(root_.file(file).c_str());
            if (text != nullptr) {
                make_dirs(parent_path(root_.file(file)));
                write_file(root_.file(file), text);
            }
        }
        const size_t logged_before = log_text().size();
        ASSERT_EQ(stage().rc, FWUPG_OK);
        const std::string warning = c.warned == nullptr ? "" : std::string("The kernel ") + c.warned +
            " and the flash driver ./durivozo/RHEL5-2.6.18PAE_durivozo.ko carries no signature: the kernel will "
            "not load it, so the flash tool cannot reach the adapters.\n";
        EXPECT_EQ(staging_load_warning(), warning);
        EXPECT_EQ(log_text().substr(logged_before), warning.empty() ? "" : "[WARNING]:" + warning);
        EXPECT_EQ(restore().rc, FWUPG_OK);
    }
}

} // namespace

namespace {

// The record names only what this program stages: the module file of its
// release in the tree and, since the second format, the copy in root's state
// directory; anything else is not acted on.
TEST_F(StagingTest, RecordReader)
{
    const std::string tree = root_.path() + "/lib/modules/";
    const std::string state = root_.path() + "/var/lib/dazed-fug/";
    const std::string sha(64, 'a');
    const std::string fields = "release=5.1\nmodule=" + tree + "5.1/kernel/drivers/net/durivozo.ko\n";
    const std::string shas = "system_sha256=" + sha + "\nstaged_sha256=" + sha + "\n";
    const std::string second = "dazed-fug staged module record 2\n";
    const std::string owner = "system_mode=640\nsystem_uid=0\nsystem_gid=1\n";
    const std::string kept = "backup=" + state + "durivozo-5.1.ko\n";
    const struct {
        const char* name;
        std::string text;
        const char* why;  // "" when it is read
    } cases[] = {
        {"second format", second + fields + kept + shas + owner, ""},
        {"first format", "dazed-fug staged module record 1\n" + fields + "backup=/srv/fw/durivozo.ko\n" + shas, ""},
        {"module outside the tree", second + "release=5.1\nmodule=/tmp/x/5.1/kernel/drivers/net/durivozo.ko\n" + kept +
                                        shas + owner,
         "it names a module path that is never staged"},
        {"module of another release", second + "release=5.1\nmodule=" + tree + "5.2/kernel/drivers/net/durivozo.ko\n" +
                                          kept + shas + owner,
         "it names a module path that is never staged"},
        {"backup in a working directory", second + fields + "backup=/srv/fw/durivozo.ko\n" + shas + owner,
         "it names no backup of this program"},
        {"backup of another release", second + fields + "backup=" + state + "durivozo-5.2.ko\n" + shas + owner,
         "it names no backup of this program"},
        {"first format, relative backup", "dazed-fug staged module record 1\n" + fields + "backup=durivozo.ko\n" + shas,
         "it names no backup of this program"},
        {"first format with a mode", "dazed-fug staged module record 1\n" + fields + "backup=/srv/fw/durivozo.ko\n" +
                                         shas + "system_mode=640\n",
         "it is malformed"},
        {"no group", second + fields + kept + shas + "system_mode=640\nsystem_uid=0\n", "it is malformed"},
        {"key twice", second + fields + kept + shas + owner + "system_gid=1\n", "it is malformed"},
        {"no last line end", (second + fields + kept + shas + owner).substr(0, (second + fields + kept + shas + owner).size() - 1),
         "it is malformed"},
        {"mode not octal", second + fields + kept + shas + "system_mode=680\nsystem_uid=0\nsystem_gid=1\n",
         "its mode or owner is malformed"},
        {"owner that keeps the owner", second + fields + kept + shas + "system_mode=640\nsystem_uid=4294967295\n"
                                                                        "system_gid=1\n",
         "its mode or owner is malformed"},
        {"upper-case checksum", second + fields + kept + "system_sha256=" + std::string(64, 'A') + "\nstaged_sha256=" +
                                    sha + "\n" + owner,
         "its checksums are malformed"},
    };
    make_dirs(state);
    chmod(state.c_str(), 0700);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(state + "staged-module", c.text);
        ModuleRecord record;
        std::string why;
        const RecordRead read = read_module_record(&record, &why);
        EXPECT_EQ(read == RecordRead::READ ? "" : why, c.why);
        if (read == RecordRead::READ) {
            EXPECT_EQ(record.mode(), std::string(c.name) == "second format" ? 0640u : 0644u);
        }
    }
    // Nor is a record that someone else could have written.
    write_file(state + "staged-module", cases[0].text);
    chmod((state + "staged-module").c_str(), 0622);
    ModuleRecord record;
    std::string why;
    EXPECT_EQ(read_module_record(&record, &why), RecordRead::UNUSABLE);
    EXPECT_EQ(why, "it is writable by group or others");
}

} // namespace

namespace {

std::string sha_of(const std::string& text)
{
    Sha256 sha;
    sha.update(text.data(), text.size());
    return sha.hex_digest();
}

// A copy takes the name only whole and with the digest it was promised.
TEST(FileSteps, CheckedCopy)
{
    const struct {
        const char* name;
        const char* before;  // at the name; null: nothing
        bool replace;
        bool right_digest;
        int rc;
        const char* after;   // null: nothing
    } cases[] = {
        {"new name", nullptr, false, true, 0, "module"},
        {"over the old", "old", true, true, 0, "module"},
        {"wrong digest", "old", true, false, EILSEQ, "old"},
        {"wrong digest, new name", nullptr, false, false, EILSEQ, nullptr},
        {"name taken", "old", false, true, EEXIST, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_file(dir.file("src"), "module");
        if (c.before != nullptr)
            write_file(dir.file("dst"), c.before);
        int src = open(dir.file("src").c_str(), O_RDONLY | O_CLOEXEC);
        int dirfd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        lseek(src, 3, SEEK_SET);  // read from the start whatever the offset
        EXPECT_EQ(copy_checked(src, dirfd, "dst", c.replace, sha_of(c.right_digest ? "module" : "modul"), 0640), c.rc);
        close(src);
        close(dirfd);
        EXPECT_EQ(file_exists(dir.file("dst")) ? read_file(dir.file("dst")) : "-", c.after ? c.after : "-");
        struct stat st {};
        if (c.rc == 0 && stat(dir.file("dst").c_str(), &st) == 0) {
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        }
        EXPECT_EQ(run_program({"/bin/sh", "-c", "ls -A"}, dir.path()).out, c.after ? "dst\nsrc\n" : "src\n");  // no temporary left
    }
}

} // namespace
