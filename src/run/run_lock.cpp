#include "run/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Kept open until exit: closing it would drop the lock. Children do not
// inherit it, so a flash tool left running cannot hold the directory.
int g_working_directory_lock_fd = -1;

} // namespace

bool lock_working_directory()
{
    if (g_working_directory_lock_fd >= 0)
        return true;
    int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;  // nothing to lock on; the log open reports the directory
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        return err != EWOULDBLOCK;
    }
    g_working_directory_lock_fd = fd;
    return true;
}
