// The real binary against the real paths (/etc, /lib/modules, /var/lib),
// inside a private mount namespace whose /etc, lib directory and /var/lib
// are overlays with temporary upper directories and whose /run is a tmpfs:
// every write lands in the temporary directory and the mounts die with the
// namespace.

#include "driver/staging.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <string>

using namespace testing_support;

namespace {

// Exits 77 before touching anything when the mounts cannot be made. Then
// lays out the system's module and runs the case's own script, which has
// these helpers:
//   mkwd DIR      a working directory with the prebuilt module, a report
//                 r.xml that marks one adapter, a catalog, an image and a
//                 flash tool that lists that adapter (and flashes by doing
//                 nothing), holding the run in its first listing until
//                 $T/release exists
//   run DIR ARGS  runs the binary there; DIR/rc, DIR/out, DIR/err
//   start DIR ARGS  the same in the background; waits until it is held
const char kPrelude[] = R"sh(set -u
T=$1; BIN=$2; PREBUILT=$3
mount --make-rprivate / || exit 77
LIBDIR=$(readlink -f /lib) || exit 77
for d in etc lib var; do mkdir -p "$T/$d-up" "$T/$d-work" || exit 77; done
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$T/etc-up,workdir=$T/etc-work" /etc || exit 77
mount -t overlay overlay -o "lowerdir=$LIBDIR,upperdir=$T/lib-up,workdir=$T/lib-work" "$LIBDIR" || exit 77
mkdir -p /var/lib || exit 77
mount -t overlay overlay -o "lowerdir=/var/lib,upperdir=$T/var-up,workdir=$T/var-work" /var/lib || exit 77
mount -t tmpfs -o size=1m tmpfs /run || exit 77
[ "$(readlink -f /lib/modules)" = "$LIBDIR/modules" ] || exit 77
: > "$T/ready"
NET=/lib/modules/$(uname -r)/kernel/drivers/net
RECORD=/var/lib/dazed-fug/staged-module
rm -f /etc/SuSE-release /etc/redhat-release
: > /etc/redhat-release
mkdir -p "$NET" && cp "$T/system.ko" "$NET/durivozo.ko" || exit 1
mkwd() {
    mkdir -p "$1/durivozo" "$1/nic_fw" && echo staged > "$1/$PREBUILT" || exit 1
    printf '<r><devices><device><macaddress value="001B21000001"/><fw_item><action value="upgrade"/></fw_item></device></devices></r>\n' > "$1/r.xml"
    printf '<NICFWData><NIC name="x" venid="0000" devid="0000" subvenid="0000" subdevid="0000" fwFile="a.bin"/></NICFWData>\n' > "$1/nic_fw/NICFWData.xml" && : > "$1/nic_fw/a.bin"
    printf '#!/bin/sh\ncp "%s/durivozo.ko" "%s/during.ko"\n[ -z "${FILL:-}" ] || dd if=/dev/zero of="%s/filler" bs=4k 2>/dev/null\n: > "%s/held"\nn=0; while [ ! -e "%s/release" ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n+1)); done\necho "NIC 1: MACAddress=001B21000001"\n' "$NET" "$T" "$NET" "$T" "$T" > "$1/bootutil"
    chmod 755 "$1/bootutil"
}
run() { d=$1; shift; (cd "$d" && "$BIN" "$@" > "$d/out" 2> "$d/err" < /dev/null; echo $? > "$d/rc"); }
start() {
    d=$1; shift; rm -f "$T/held"
    cd "$d" && "$BIN" "$@" > "$d/out" 2> "$d/err" < /dev/null &
    PID=$!; cd "$T"
    n=0; while [ ! -e "$T/held" ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n+1)); done
}
finish() { : > "$T/release"; wait "$PID"; echo $? > "$1/rc"; }
state() {
    if [ -L "$NET/durivozo.ko" ]; then echo link; elif [ -d "$NET/durivozo.ko" ]; then echo directory;
    elif cmp -s "$T/system.ko" "$NET/durivozo.ko"; then echo same; else echo changed; fi > "$T/$1.module"
    if [ -e "$RECORD" ]; then echo record; else echo none; fi > "$T/$1.record"
}
. "$T/case.sh"
)sh";

const std::string kSystemModule("system\0module\x7f\n", 15);

std::string trimmed(const std::string& text)
{
    return text.substr(0, text.find_last_not_of("\n") + 1);
}

std::string kernel_release()
{
    struct utsname names {};
    return uname(&names) == 0 ? names.release : "";
}

// The prebuilt module name for the running kernel under RHEL.
std::string prebuilt_name()
{
    const std::string release = kernel_release();
    char variant[VARIANT_SIZE];
    findvariant(release.c_str(), variant, sizeof variant);
    std::string name = candidate_module_name("RHEL", release.c_str(), variant);
    return name.replace(name.find('*'), 1, "8-").substr(2);
}

class RealPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_had_redhat_release_ = file_exists("/etc/redhat-release");
        host_had_state_dir_ = file_exists("/var/lib/dazed-fug");
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to make a private mount namespace";
    }
    void TearDown() override
    {
        // The namespace must not have leaked into the host.
        EXPECT_EQ(file_exists("/etc/redhat-release"), host_had_redhat_release_);
        EXPECT_EQ(file_exists("/var/lib/dazed-fug"), host_had_state_dir_);
    }

    // Runs the case script in a fresh namespace; false (and a skip) when
    // the namespace cannot be made here.
    bool run_case(const std::string& script)
    {
        write_file(t.file("system.ko"), kSystemModule);
        write_file(t.file("prelude.sh"), kPrelude);
        write_file(t.file("case.sh"), script);
        RunResult ns = run_program({"/usr/bin/env", "unshare", "-m", "--fork", "/bin/sh", t.file("prelude.sh"),
                                    t.path(), DAZED_FUG_BINARY, prebuilt_name()},
                                   t.path());
        skip_ = file_exists(t.file("ready")) ? "" : "no private mount namespace with overlays here: " + ns.err;
        return skip_.empty();
    }
    std::string get(const std::string& name) { return trimmed(read_file(t.file(name))); }
    std::string log(const std::string& wd) { return read_file(t.file(wd + "/bootutil.log")); }
    int rc(const std::string& wd)
    {
        const std::string text = get(wd + "/rc");
        return text.empty() ? -1 : std::stoi(text);
    }

    TempDir t;
    std::string skip_;

private:
    bool host_had_redhat_release_ = false;
    bool host_had_state_dir_ = false;
};

#define RUN_CASE(script)                 \
    do {                                 \
        if (!run_case(script))           \
            GTEST_SKIP() << skip_;       \
    } while (0)

TEST_F(RealPaths, SystemModuleIsBackAfterARun)
{
    RUN_CASE("mkwd $T/a; : > $T/release; run $T/a -u r.xml; state after\n");
    EXPECT_EQ(rc("a"), 0) << log("a");
    EXPECT_EQ(read_file(t.file("during.ko")), "staged\n");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
    EXPECT_FALSE(file_exists(t.file("a/durivozo.ko")));
    EXPECT_FALSE(contains(log("a"), "[ERROR]")) << log("a");
    EXPECT_FALSE(contains(log("a"), "[WARNING]")) << log("a");
}

TEST_F(RealPaths, UnsupportedKernelEndsEveryRunWithError)
{
    RUN_CASE("mkwd $T/a; rm $T/a/durivozo/*; run $T/a -h; state after\n");
    const std::string message = "kernel: " + kernel_release() + " is not supported by the component.\n";
    EXPECT_EQ(rc("a"), 6);
    EXPECT_EQ(read_file(t.file("a/out")), message);  // no usage text: -h was never looked at
    EXPECT_TRUE(contains(log("a"), "[ERROR]  :" + message)) << log("a");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
}

TEST_F(RealPaths, WithoutReleaseFilesTheModuleTreeIsLeftAlone)
{
    RUN_CASE("mkwd $T/a; rm /etc/redhat-release; : > $T/release; run $T/a -u r.xml; state after\n");
    EXPECT_EQ(rc("a"), 0);
    EXPECT_FALSE(file_exists(t.file("during.ko")) && read_file(t.file("during.ko")) == "staged\n");
    EXPECT_TRUE(contains(log("a"), "[WARNING]:Neither /etc/SuSE-release nor /etc/redhat-release exists"));
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_FALSE(file_exists(t.file("var-up/dazed-fug")));
}

// A second run from another working directory refuses before it touches
// anything, and the first one still puts the module back.
TEST_F(RealPaths, OneRunAtATimePerModuleTree)
{
    RUN_CASE("mkwd $T/a; mkwd $T/b; start $T/a -u r.xml; run $T/b -h; state during; finish $T/a; state after\n");
    EXPECT_EQ(rc("b"), 6);
    EXPECT_TRUE(contains(get("b/err"), "FWUPG_ERROR: another run is staging the flash driver in /lib/modules/"))
        << get("b/err");
    EXPECT_EQ(split_lines(read_file(t.file("b/err"))).size(), 1u);
    EXPECT_FALSE(file_exists(t.file("b/bootutil.log")));
    EXPECT_EQ(get("during.module"), "changed");
    EXPECT_EQ(rc("a"), 0) << log("a");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
}

// A run killed while the module is staged leaves the record; the next run,
// from the same or another working directory, puts the module back first.
TEST_F(RealPaths, RecoveryAfterSigkill)
{
    for (const char* next : {"a", "b"}) {
        SCOPED_TRACE(next);
        RUN_CASE(std::string("mkwd $T/a; mkwd $T/b; start $T/a -u r.xml; kill -9 $PID; wait $PID; state killed; "
                             ": > $T/release; run $T/") + next + " -h; state after\n");
        EXPECT_EQ(get("killed.module"), "changed");
        EXPECT_EQ(get("killed.record"), "record");
        EXPECT_EQ(rc(next), 0) << log(next);
        EXPECT_TRUE(contains(log(next), "[INFO]   :An interrupted run left the system's module at " + t.file("a") +
                                            "/durivozo.ko; it is put back into /lib/modules/"))
            << log(next);
        EXPECT_EQ(get("after.module"), "same");
        EXPECT_EQ(get("after.record"), "none");
        EXPECT_FALSE(file_exists(t.file("a/durivozo.ko")));
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
}

// What is not a regular file at the module path, a foreign durivozo.ko in
// the working directory and two matching prebuilt modules each stop the run
// before anything moves.
TEST_F(RealPaths, RefusedBeforeAnythingMoves)
{
    const struct {
        const char* name;
        const char* setup;
        const char* logged;
        const char* module;
    } cases[] = {
        {"symlink", "mv $NET/durivozo.ko $NET/real.ko; ln -s real.ko $NET/durivozo.ko",
         "/kernel/drivers/net/durivozo.ko is not a regular file; it is left as it is", "link"},
        {"directory", "rm $NET/durivozo.ko; mkdir $NET/durivozo.ko",
         "/kernel/drivers/net/durivozo.ko is not a regular file; it is left as it is", "directory"},
        {"planted backup", "echo foreign > $T/a/durivozo.ko", "/a/durivozo.ko is taken, so the system's module stays",
         "same"},
        {"two candidates", "cp $T/a/$PREBUILT $T/a/durivozo/RHEL9-$(uname -r | cut -c1-6)x_durivozo.ko; "
                           "cp $T/a/$PREBUILT $T/a/durivozo/RHEL7-$(basename $PREBUILT | cut -c7-)",
         "2 prebuilt modules match ./durivozo/RHEL*", "same"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RUN_CASE(std::string("mkwd $T/a; ") + c.setup + "; run $T/a -h; state after; readlink $NET/durivozo.ko > "
                 "$T/link; cat $NET/real.ko > $T/real 2>/dev/null\n");
        EXPECT_EQ(rc("a"), 6);
        EXPECT_TRUE(contains(log("a"), c.logged)) << log("a");
        EXPECT_EQ(get("after.module"), c.module);
        EXPECT_EQ(get("after.record"), "none");
        if (std::string(c.name) == "symlink") {
            EXPECT_EQ(get("link"), "real.ko");
            EXPECT_EQ(read_file(t.file("real")), kSystemModule);
        }
        if (std::string(c.name) == "planted backup") {
            EXPECT_EQ(read_file(t.file("a/durivozo.ko")), "foreign\n");
        }
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
}

// The module directory fills up while staged: the restore fails, says where
// the intact module is and keeps the record; a later run puts it back.
TEST_F(RealPaths, FullModuleDirectoryDuringRestore)
{
    RUN_CASE("mount -t tmpfs -o size=64k tmpfs $NET && cp $T/system.ko $NET/durivozo.ko || exit 1\n"
             "mkwd $T/a; mkwd $T/b; : > $T/release; (cd $T/a && FILL=1 \"$BIN\" -u r.xml > out 2> err < /dev/null; "
             "echo $? > rc); state full; rm -f $NET/filler; run $T/b -h; state after\n");
    EXPECT_EQ(rc("a"), 6);
    EXPECT_TRUE(contains(log("a"), "[ERROR]  :Could not put the system's module back into /lib/modules/")) << log("a");
    EXPECT_TRUE(contains(log("a"), "(No space left on device); it is intact at " + t.file("a") + "/durivozo.ko"))
        << log("a");
    EXPECT_TRUE(contains(log("a"), "\nReturn Value: FWUPG_ERR [6]\n"));
    EXPECT_EQ(get("full.module"), "changed");
    EXPECT_EQ(get("full.record"), "record");
    EXPECT_EQ(rc("b"), 0) << log("b");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
}

} // namespace
