// The real binary against the real paths (/etc, /lib/modules), inside a
// private mount namespace whose /etc and lib directory are overlays with
// temporary upper directories: every write lands in the temporary directory
// and the mounts die with the namespace.

#include "driver/staging.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <string>

using namespace testing_support;

namespace {

// Exits 77 before touching anything when the overlays cannot be set up. The
// binary's shell finds a cp that also keeps a copy of what it installed, as
// during.ko, so the staged module can be checked after the run.
const char kNamespaceScript[] = R"sh(set -u
T=$1; WD=$2; BIN=$3; CASE=$4
mount --make-rprivate / || exit 77
LIBDIR=$(readlink -f /lib) || exit 77
mkdir -p "$T/etc-up" "$T/etc-work" "$T/lib-up" "$T/lib-work" || exit 77
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$T/etc-up,workdir=$T/etc-work" /etc || exit 77
mount -t overlay overlay -o "lowerdir=$LIBDIR,upperdir=$T/lib-up,workdir=$T/lib-work" "$LIBDIR" || exit 77
[ "$(readlink -f /lib/modules)" = "$LIBDIR/modules" ] || exit 77
: > "$T/ready"
NET=/lib/modules/$(uname -r)/kernel/drivers/net
rm -f /etc/SuSE-release /etc/redhat-release
[ "$CASE" = no-release ] || : > /etc/redhat-release
mkdir -p "$NET" && cp "$T/system.ko" "$NET/durivozo.ko" || exit 1
REALCP=$(command -v cp) || exit 1
mkdir -p "$T/shim" || exit 1
printf '#!/bin/sh\n"%s" "$@" || exit\n[ $# -eq 2 ] && "%s" "$2" "%s/during.ko"\nexit 0\n' "$REALCP" "$REALCP" "$T" > "$T/shim/cp"
chmod +x "$T/shim/cp" || exit 1
cd "$WD" || exit 1
PATH="$T/shim:$PATH" "$BIN" -h > "$T/out" 2> "$T/err" < /dev/null
echo $? > "$T/rc"
if cmp -s "$T/system.ko" "$NET/durivozo.ko"; then echo same; else echo changed; fi > "$T/module"
if [ -e "$WD/durivozo.ko" ]; then echo present; else echo absent; fi > "$T/backup"
)sh";

const std::string kSystemModule("system\0module\x7f\n", 15);

struct NamespaceRun {
    std::string skip;  // why the namespace could not be made, if it could not
    int rc = -1;
    std::string module;  // "same" when the system's module is back byte for byte
    std::string backup;  // "absent" when the working directory has no durivozo.ko
    bool copied = false;
    std::string staged;  // what the binary copied into the module tree
    std::string out;
    std::string log;
};

std::string trimmed(const std::string& text)
{
    return text.substr(0, text.find_last_not_of("\n") + 1);
}

std::string kernel_release()
{
    struct utsname names {};
    return uname(&names) == 0 ? names.release : "";
}

// Runs `dazed-fug -h` in the namespace; with_prebuilt puts a module matching
// the running kernel into the working directory's durivozo/.
NamespaceRun run_in_namespace(const char* scenario, bool with_prebuilt)
{
    NamespaceRun run;
    if (geteuid() != 0) {
        run.skip = "needs root to make a private mount namespace";
        return run;
    }
    TempDir t;
    const std::string wd = t.file("wd");
    make_dirs(wd + "/durivozo");
    write_file(t.file("system.ko"), kSystemModule);
    write_file(t.file("script.sh"), kNamespaceScript);
    if (with_prebuilt) {
        const std::string release = kernel_release();
        char variant[VARIANT_SIZE];
        findvariant(release.c_str(), variant, sizeof variant);
        std::string name = candidate_module_name("RHEL", release.c_str(), variant);
        name.replace(name.find('*'), 1, "8-");
        write_file(wd + "/" + name, "staged");
    }

    RunResult ns = run_program({"/usr/bin/env", "unshare", "-m", "--fork", "/bin/sh", t.file("script.sh"),
                                t.path(), wd, DAZED_FUG_BINARY, scenario},
                               t.path());
    if (!file_exists(t.file("ready"))) {
        run.skip = "no private mount namespace with overlays here: " + ns.err;
        return run;
    }
    const std::string rc = trimmed(read_file(t.file("rc")));
    run.rc = rc.empty() ? -1 : std::stoi(rc);
    run.copied = file_exists(t.file("during.ko"));
    run.staged = read_file(t.file("during.ko"));
    run.module = trimmed(read_file(t.file("module")));
    run.backup = trimmed(read_file(t.file("backup")));
    run.out = read_file(t.file("out"));
    run.log = read_file(wd + "/bootutil.log");
    return run;
}

class RealPaths : public ::testing::Test {
protected:
    void SetUp() override { host_had_redhat_release_ = file_exists("/etc/redhat-release"); }
    void TearDown() override
    {
        // The namespace must not have leaked into the host.
        EXPECT_EQ(file_exists("/etc/redhat-release"), host_had_redhat_release_);
    }

private:
    bool host_had_redhat_release_ = false;
};

TEST_F(RealPaths, SystemModuleIsBackAfterARun)
{
    NamespaceRun run = run_in_namespace("restore", true);
    if (!run.skip.empty())
        GTEST_SKIP() << run.skip;
    EXPECT_EQ(run.rc, 0) << run.log;
    EXPECT_EQ(run.staged, "staged");
    EXPECT_EQ(run.module, "same");
    EXPECT_EQ(run.backup, "absent");
    EXPECT_NE(run.out.find("USAGE:"), std::string::npos);
    EXPECT_EQ(run.log.find("[ERROR]"), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find("[WARNING]"), std::string::npos) << run.log;
}

TEST_F(RealPaths, UnsupportedKernelEndsEveryRunWithError)
{
    NamespaceRun run = run_in_namespace("unsupported", false);
    if (!run.skip.empty())
        GTEST_SKIP() << run.skip;
    const std::string message = "kernel: " + kernel_release() + " is not supported by the component.\n";
    EXPECT_EQ(run.rc, 6);
    EXPECT_FALSE(run.copied);
    EXPECT_EQ(run.out, message);  // no usage text: -h was never looked at
    EXPECT_NE(run.log.find("[ERROR]  :" + message), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("Return Value: FWUPG_ERR [6]"), std::string::npos);
    EXPECT_EQ(run.module, "same");
    EXPECT_EQ(run.backup, "absent");
}

TEST_F(RealPaths, WithoutReleaseFilesTheModuleTreeIsLeftAlone)
{
    NamespaceRun run = run_in_namespace("no-release", true);
    if (!run.skip.empty())
        GTEST_SKIP() << run.skip;
    EXPECT_EQ(run.rc, 0);
    EXPECT_FALSE(run.copied);
    EXPECT_NE(run.log.find("[WARNING]:Neither /etc/SuSE-release nor /etc/redhat-release exists"),
              std::string::npos)
        << run.log;
    EXPECT_EQ(run.out.find("Neither"), std::string::npos);
    EXPECT_NE(run.out.find("USAGE:"), std::string::npos);
    EXPECT_EQ(run.module, "same");
    EXPECT_EQ(run.backup, "absent");
}

} // namespace
