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

#include <cstring>
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
//   state NAME    the module file ("same": content, mode 640 and group 1
//                 as the system's) and the record, into $T/NAME.*
//   $NOBODY CMD   runs CMD as an unprivileged user
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
mkdir -p "$NET" && cp "$T/system.ko" "$NET/durivozo.ko" && chmod 640 "$NET/durivozo.ko" && chown 0:1 "$NET/durivozo.ko" || exit 1
STATE=/var/lib/dazed-fug
NOBODY="setpriv --reuid=65534 --regid=65534 --clear-groups"
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
    elif ! cmp -s "$T/system.ko" "$NET/durivozo.ko"; then echo changed;
    elif [ "$(stat -c '%a %u %g' "$NET/durivozo.ko")" = "640 0 1" ]; then echo same; else echo mode; fi > "$T/$1.module"
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

// A prebuilt module shared between kernel names through a link in
// durivozo/ is staged; a durivozo.ko that earlier versions left in the
// working directory is ignored.
TEST_F(RealPaths, SystemModuleIsBackAfterARun)
{
    const struct {
        const char* name;
        const char* setup;
        const char* warned;
    } cases[] = {
        {"plain", ":", ""},
        {"shared through a link", "mv $T/a/$PREBUILT $T/a/durivozo/shared.ko; ln -s shared.ko $T/a/$PREBUILT", ""},
        {"old working copy", "echo foreign > $T/a/durivozo.ko",
         "[WARNING]:./durivozo.ko in the working directory is ignored: this program keeps the system's module in "
         "/var/lib/dazed-fug.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RUN_CASE(std::string("mkwd $T/a; ") + c.setup + "; : > $T/release; run $T/a -u r.xml; state after\n");
        EXPECT_EQ(rc("a"), 0) << log("a");
        EXPECT_EQ(read_file(t.file("during.ko")), "staged\n");
        EXPECT_EQ(get("after.module"), "same");
        EXPECT_EQ(get("after.record"), "none");
        EXPECT_FALSE(contains(log("a"), "[ERROR]")) << log("a");
        EXPECT_EQ(contains(log("a"), "[WARNING]"), *c.warned != '\0') << log("a");
        EXPECT_TRUE(contains(log("a"), c.warned)) << log("a");
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
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
// from the same or another working directory, puts the module back first,
// from root's state directory: also when the first working directory is gone.
TEST_F(RealPaths, RecoveryAfterSigkill)
{
    for (const char* between : {"run $T/a", "run $T/b", "rm -rf $T/a; run $T/b"}) {
        SCOPED_TRACE(between);
        RUN_CASE(std::string("mkwd $T/a; mkwd $T/b; start $T/a -u r.xml; kill -9 $PID; wait $PID; state killed; "
                             ": > $T/release; ") + between + " -h; state after\n");
        const std::string next = between[strlen(between) - 1] == 'a' ? "a" : "b";
        EXPECT_EQ(get("killed.module"), "changed");
        EXPECT_EQ(get("killed.record"), "record");
        EXPECT_EQ(rc(next), 0) << log(next);
        EXPECT_TRUE(contains(log(next), "[INFO]   :An interrupted run left the system's module at "
                                        "/var/lib/dazed-fug/durivozo-" + kernel_release() +
                                            ".ko; it is put back into /lib/modules/"))
            << log(next);
        EXPECT_EQ(get("after.module"), "same");
        EXPECT_EQ(get("after.record"), "none");
        EXPECT_FALSE(file_exists(t.file("a/durivozo.ko")));
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
}

// A user who owns a directory above the working directory swaps it while
// the module is staged and plants a world-writable copy of the system's
// module there: the module comes back from root's state directory, with
// its own mode and group.
TEST_F(RealPaths, SwappedWorkingDirectoryCannotPlantTheModule)
{
    RUN_CASE("chmod 755 $T; mkdir $T/u && chown 65534:65534 $T/u && mkwd $T/u/fw; cp $T/system.ko $T/copy.ko; "
             "start $T/u/fw -u r.xml; $NOBODY sh -c \"mv $T/u/fw $T/u/old && mkdir $T/u/fw && "
             "cp $T/copy.ko $T/u/fw/durivozo.ko && chmod 666 $T/u/fw/durivozo.ko\"; echo $? > $T/swapped; "
             "finish $T/u/old; state after; stat -c %a $NET/durivozo.ko > $T/mode\n");
    EXPECT_EQ(get("swapped"), "0");
    EXPECT_EQ(rc("u/old"), 0) << log("u/old");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("mode"), "640");
    EXPECT_EQ(get("after.record"), "none");
}

// A record for a kernel whose module tree was removed is moved aside with
// the kept copy of that kernel's module, and the run goes on.
TEST_F(RealPaths, RecordOfARemovedKernelIsRetired)
{
    RUN_CASE("mkwd $T/a; mkdir -p $STATE && chmod 700 $STATE && cp $T/system.ko $STATE/durivozo-9.9-gone.ko && "
             "printf 'dazed-fug staged module record 2\\nrelease=9.9-gone\\n"
             "module=/lib/modules/9.9-gone/kernel/drivers/net/durivozo.ko\\nbackup=%s\\nsystem_sha256=%s\\n"
             "staged_sha256=%s\\nsystem_mode=644\\nsystem_uid=0\\nsystem_gid=0\\n' $STATE/durivozo-9.9-gone.ko "
             "$(sha256sum < $T/system.ko | cut -c1-64) $(echo staged | sha256sum | cut -c1-64) > $RECORD; "
             ": > $T/release; run $T/a -h; state after; ls $STATE > $T/kept\n");
    EXPECT_EQ(rc("a"), 0) << log("a");
    EXPECT_TRUE(contains(log("a"), "[WARNING]:The staging record of an earlier run names the kernel 9.9-gone, whose "
                                   "module tree /lib/modules/9.9-gone is gone; the record is moved aside as "
                                   "/var/lib/dazed-fug/retired-9.9-gone, and that kernel's own module is kept as "
                                   "/var/lib/dazed-fug/retired-9.9-gone.ko.\n"))
        << log("a");
    EXPECT_EQ(get("kept"), "retired-9.9-gone\nretired-9.9-gone.ko");
    EXPECT_EQ(read_file(t.file("var-up/dazed-fug/retired-9.9-gone.ko")), kSystemModule);
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
}

// The lock is taken on root's own state directory, which no one else can
// open: another user's flock on it fails, and one on /lib/modules blocks
// nothing.
TEST_F(RealPaths, AnotherUserCannotHoldTheLock)
{
    RUN_CASE("mkwd $T/a; : > $T/release; run $T/a -h; $NOBODY flock -n $STATE true 2> /dev/null; echo $? > $T/flock; "
             "$NOBODY flock /lib/modules sleep 20 & FL=$!; sleep 0.5; run $T/a -u r.xml; state after; kill $FL\n");
    EXPECT_NE(get("flock"), "0");
    EXPECT_EQ(rc("a"), 0) << get("a/err");
    EXPECT_EQ(get("after.module"), "same");
}

// What is not a regular file at the module path, a prebuilt module that
// someone else could have changed, and two matching prebuilt modules each
// stop the run before anything moves.
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
        {"foreign prebuilt module", "chown 65534 $T/a/$PREBUILT", "is refused: it is owned by user ID 65534", "same"},
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
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
}

// The module directory fills up while staged: the restore fails, says where
// the intact module is and keeps the record; a later run puts it back.
TEST_F(RealPaths, FullModuleDirectoryDuringRestore)
{
    RUN_CASE("mount -t tmpfs -o size=64k tmpfs $NET && cp $T/system.ko $NET/durivozo.ko && chmod 640 "
             "$NET/durivozo.ko && chown 0:1 $NET/durivozo.ko || exit 1\n"
             "mkwd $T/a; mkwd $T/b; : > $T/release; (cd $T/a && FILL=1 \"$BIN\" -u r.xml > out 2> err < /dev/null; "
             "echo $? > rc); state full; rm -f $NET/filler; run $T/b -h; state after\n");
    EXPECT_EQ(rc("a"), 6);
    EXPECT_TRUE(contains(log("a"), "[ERROR]  :Could not put the system's module back into /lib/modules/")) << log("a");
    EXPECT_TRUE(contains(log("a"), "(No space left on device); it is intact at /var/lib/dazed-fug/durivozo-" +
                                       kernel_release() + ".ko"))
        << log("a");
    EXPECT_TRUE(contains(log("a"), "\nReturn Value: FWUPG_ERR [6]\n"));
    EXPECT_EQ(get("full.module"), "changed");
    EXPECT_EQ(get("full.record"), "record");
    EXPECT_EQ(rc("b"), 0) << log("b");
    EXPECT_EQ(get("after.module"), "same");
    EXPECT_EQ(get("after.record"), "none");
}

// The kill sweep: a run is stopped at the n-th call of one system call, for
// every n until the run goes through. After SIGKILL the next run recovers;
// after SIGTERM the run itself finishes the restore and ends with 5 (0 once
// the adapter was flashed). Either
// way the module tree is then as before to the byte (with the system
// module's mode and group), and neither the record nor any temporary is left.
const char kSweep[] = R"sh(command -v strace > /dev/null || { : > $T/nostrace; exit 0; }
mkwd $T/a; : > $T/release
[ "$SYSTEM" = yes ] || rm $NET/durivozo.ko
snap() { (cd /lib/modules && find . -printf '%p %m %u %g %s\n' | sort && find . -type f -exec sha256sum {} + | sort) > $T/$1; }
snap before; n=1; : > $T/bad
while [ $n -lt 300 ]; do
    (cd $T/a && strace -qq -o /dev/null -e inject=$CALL:signal=$SIG:when=$n "$BIN" -u r.xml > out 2> err < /dev/null)
    rc=$?
    if [ $SIG = SIGKILL ]; then
        [ $rc = 137 ] || break
        run $T/a -h; [ "$(cat $T/a/rc)" = 0 ] || echo "$n: the next run exited $(cat $T/a/rc)" >> $T/bad
    else
        grep -q 'Interrupted by SIGTERM' $T/a/bootutil.log || break
        want=5; grep -q 'Upgrade SUCCESS' $T/a/bootutil.log && want=0
        [ $rc = $want ] || echo "$n: exited $rc" >> $T/bad
    fi
    snap after; cmp -s $T/before $T/after || echo "$n: the module tree differs" >> $T/bad
    [ ! -e $RECORD ] || echo "$n: the record is left" >> $T/bad
    find /lib/modules $STATE $T/a -name '.dazed-*' | sed "s|^|$n: left |" >> $T/bad
    n=$((n+1))
done
echo $((n - 1)) > $T/swept
)sh";

TEST_F(RealPaths, StoppedAtAnyStepTheModuleTreeComesBackWhole)
{
    const struct {
        const char* signal;
        const char* call;
        bool system_module;
    } cases[] = {
        {"SIGKILL", "mkdir", true},    {"SIGKILL", "openat", true},   {"SIGKILL", "write", true},
        {"SIGKILL", "fsync", true},    {"SIGKILL", "fchmod", true},   {"SIGKILL", "fchown", true},
        {"SIGKILL", "flock", true},    {"SIGKILL", "renameat", true}, {"SIGKILL", "unlinkat", true},
        {"SIGKILL", "close", true},    {"SIGKILL", "renameat", false}, {"SIGKILL", "linkat", false},
        {"SIGKILL", "unlinkat", false}, {"SIGKILL", "fsync", false},  {"SIGTERM", "renameat", true},
        {"SIGTERM", "unlinkat", true}, {"SIGTERM", "fsync", true},    {"SIGTERM", "renameat", false},
    };
    for (const auto& c : cases) {
        const std::string row = std::string(c.signal) + " at " + c.call + (c.system_module ? "" : ", no system module");
        SCOPED_TRACE(row);
        RUN_CASE(std::string("SIG=") + c.signal + " CALL=" + c.call + " SYSTEM=" + (c.system_module ? "yes" : "no") +
                 "\n" + kSweep);
        if (file_exists(t.file("nostrace")))
            GTEST_SKIP() << "strace is not installed";
        EXPECT_GT(std::stoi("0" + get("swept")), 0) << "the run was never stopped";
        EXPECT_EQ(read_file(t.file("bad")), "");
        std::system(("rm -rf '" + t.path() + "'/*").c_str());
    }
}

} // namespace
