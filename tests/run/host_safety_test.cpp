// The real binary trusts nothing it should not: as root only a private
// working directory, and its commands start clean whatever it inherited.
#include "support/sim_package.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

using namespace testing_support;

namespace {

// The binary's side of the trust check (its rows are in tests/lib): one
// line on standard error and no log; a symlink to the log is never followed.
TEST(HostSafetyBinary, AsRootOnlyAPrivateWorkingDirectory)
{
    SKIP_IF_HOST_UNSAFE();
    if (geteuid() != 0)
        GTEST_SKIP() << "the check applies to root only";
    SimPackage pkg;
    ASSERT_EQ(chmod(pkg.file("nic_fw").c_str(), 0757), 0);
    RunResult r = run_dazed_fug({"-h"}, pkg.path());
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::regex_match(r.err, std::regex("FWUPG_ERROR: not run as root here: ./nic_fw/ is writable by "
                                                   "group or others, dazed-fug,[0-9]+\n")))
        << r.err;
    EXPECT_FALSE(file_exists(pkg.file("bootutil.log")));
    ASSERT_EQ(chmod(pkg.file("nic_fw").c_str(), 0755), 0);
    write_file(pkg.file("elsewhere"), "keep");
    ASSERT_EQ(symlink("elsewhere", pkg.file("bootutil.log").c_str()), 0);
    r = run_dazed_fug({"-h"}, pkg.path());
    EXPECT_EQ(r.exit_status, 6);
    EXPECT_TRUE(contains(r.err, "FWUPG_ERROR: could not open bootutil.log (" + std::to_string(ELOOP) + ")")) << r.err;
    EXPECT_EQ(read_file(pkg.file("elsewhere")), "keep");
}

// The flash tool (a wrapper that records what it got, then runs the
// simulator) sees no descriptor of the program, /dev/null as standard
// input, a clean environment and no empty or relative PATH entry; a grep
// planted in the working directory is never run.
TEST(HostSafetyBinary, CommandsStartClean)
{
    SKIP_IF_HOST_UNSAFE();
    SimPackage pkg;
    if (!pkg.has_simulator())
        GTEST_SKIP() << "the flash-tool simulator is not built";
    ASSERT_EQ(rename(pkg.file("bootutil").c_str(), pkg.file("bootutil-sim").c_str()), 0);
    // The mask is read by the shell itself: one waiting for a child has
    // every signal blocked meanwhile.
    write_file(pkg.file("bootutil"), "#!/bin/sh\nwhile read -r l; do case $l in SigBlk*) echo \"$l\";; esac; done "
                                     "< /proc/$$/status > sig.$$\nls -l /proc/$$/fd/ > fds.$$\nenv > env.$$\n"
                                     "umask > umask.$$\ngrep -c x /dev/null > /dev/null\nexec ./bootutil-sim \"$@\"\n");
    chmod(pkg.file("bootutil").c_str(), 0755);
    write_file(pkg.file("grep"), "#!/bin/sh\n: > planted-grep-ran\nexec /bin/grep \"$@\"\n");
    chmod(pkg.file("grep").c_str(), 0755);
    pkg.write_catalog({{"A", "8086", "10C9", "8086", "A02C", "a.bin"}});
    pkg.add_image_file("a.bin");
    pkg.write_state("adapter nic=1 mac=001B21000001 psid=P combo=1.2.8 pxe=1 setup=1 ocd=1\n"
                    "image file=a.bin psid=P combo=1.3.21 pxe=2 setup=2 ocd=2\n");
    write_file(pkg.file("r.xml"), "<r><devices><device><macaddress value=\"001B21000001\"/><venid value=\"8086\"/>"
                                  "<devid value=\"10C9\"/><subvenid value=\"8086\"/><subdevid value=\"A02C\"/>"
                                  "<fw_item><action value=\"upgrade\"/></fw_item></device></devices></r>\n");

    const std::string path = getenv("PATH") != nullptr ? getenv("PATH") : "/usr/bin:/bin";
    RunResult r = run_program({"/usr/bin/env", "PATH=.::" + path + ":relative/bin", "BASH_ENV=x", "ENV=x",
                               "BASH_FUNC_grep%%=() { :; }", "SHELLOPTS=xtrace", "IFS=x", "CDPATH=/",
                               "LD_AUDIT=", "KEPT_VARIABLE=1", "/bin/sh", "-c",
                               "exec 7< r.xml; umask 077; exec " DAZED_FUG_BINARY " -us r.xml"},
                              pkg.path(), "typed ahead\n");
    EXPECT_EQ(r.exit_status, 0) << read_file(pkg.file("bootutil.log"));
    EXPECT_FALSE(file_exists(pkg.file("planted-grep-ran")));

    const std::vector<std::string> seen = split_lines(run_program({"/bin/sh", "-c", "ls fds.*"}, pkg.path()).out);
    ASSERT_FALSE(seen.empty());
    for (const std::string& fds_file : seen) {
        const std::string pid = fds_file.substr(4);
        const std::string fds = read_file(pkg.file(fds_file));
        EXPECT_TRUE(std::regex_search(fds, std::regex(" 0 -> /dev/null\n"))) << fds;
        EXPECT_FALSE(contains(fds, "bootutil.log")) << fds;
        EXPECT_FALSE(contains(fds, " 7 -> ")) << fds;
        EXPECT_FALSE(contains(fds, "-> " + pkg.path() + "\n")) << fds;  // the working directory's lock

        const std::string env = read_file(pkg.file("env." + pid));
        EXPECT_TRUE(contains(env, "KEPT_VARIABLE=1\n"));
        for (const char* gone : {"BASH_ENV=", "\nENV=", "BASH_FUNC_", "SHELLOPTS=", "\nIFS=", "CDPATH=", "LD_AUDIT="})
            EXPECT_FALSE(contains(env, gone)) << gone;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(env, m, std::regex("\nPATH=([^\n]*)\n")));
        EXPECT_EQ(m[1].str().find("::"), std::string::npos) << m[1];
        EXPECT_EQ(m[1].str().rfind(".:", 0), std::string::npos) << m[1];
        EXPECT_FALSE(contains(m[1].str(), "relative")) << m[1];
        EXPECT_EQ(read_file(pkg.file("umask." + pid)), "0022\n");
        EXPECT_EQ(read_file(pkg.file("sig." + pid)), "SigBlk:\t0000000000000000\n");
    }
}

} // namespace
