// The shell runner's exit codes.
#include "lib/shell.h"

#include <gtest/gtest.h>

namespace {

TEST(Shell, ExitCodeOfTheCommand)
{
    EXPECT_EQ(do_command("(exit 3)\n"), 3);
    EXPECT_EQ(do_command("(true)\n"), 0);
    EXPECT_EQ(do_command("exit 255"), 255);
    EXPECT_EQ(do_command("kill -9 $$"), 128 + 9);  // a killed shell is a failure, not 0
    EXPECT_EQ(do_command("/nonexistent/tool"), 127);
}

} // namespace
