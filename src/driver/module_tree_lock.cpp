#include "driver/staging.h"

#include "driver/module_record.h"
#include "driver/staging_state.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Open for as long as the lock is held; children never inherit it.
int g_tree_fd = -1;
std::string g_lock_problem;

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
    g_lock_problem.clear();
    if (!run_may_change_tree())
        return TreeLock::NOT_NEEDED;
    // Without the directory nothing can be staged; staging says why.
    int fd = open_state_dir(true, &g_lock_problem);
    if (fd < 0)
        return TreeLock::NOT_NEEDED;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        g_lock_problem = busy ? "another run holds it" : "flock failed";
        close(fd);
        return busy ? TreeLock::BUSY : TreeLock::NOT_NEEDED;
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

const std::string& module_tree_lock_problem()
{
    return g_lock_problem;
}
