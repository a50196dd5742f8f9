#include "driver/module_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool can_open_for_reading(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

bool path_exists(const char* path)
{
    struct stat st {};
    return lstat(path, &st) == 0;
}

bool is_regular_file(const char* path)
{
    struct stat st {};
    return lstat(path, &st) == 0 && S_ISREG(st.st_mode);
}
