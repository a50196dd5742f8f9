#include "driver/staging.h"

#include "driver/module_record.h"
#include "driver/staging_state.h"
#include "lib/host_seam.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Open for as long as the lock is held; children never inherit it.
int g_tree_fd = -1;

bool run_may_change_tree()
{
    struct stat st {};
    return distribution_tag() != nullptr || lstat(module_record_path().c_str(), &st) == 0;
}

} // namespace

TreeLock lock_module_tree()
{
    if (g_tree_fd >= 0)
        return TreeLock::HELD;
    if (!run_may_change_tree())
        return TreeLock::NOT_NEEDED;
    // Without a tree nothing can be staged into it; staging says so.
    int fd = open(host_path(HOST_LIB_MODULES).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return TreeLock::NOT_NEEDED;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? TreeLock::BUSY : TreeLock::NOT_NEEDED;
    }
    g_tree_fd = fd;
    return TreeLock::HELD;
}

void unlock_module_tree()
{
    if (g_tree_fd >= 0)
        close(g_tree_fd);
    g_tree_fd = -1;
}

bool module_tree_locked()
{
    return g_tree_fd >= 0;
}
