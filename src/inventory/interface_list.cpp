#include "inventory/probes.h"

#include "lib/bounded_text.h"
#include "lib/host_seam.h"
#include "lib/return_codes.h"
#include "log/event_log.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Owns what scandir returns.
class DirEntries {
public:
    DirEntries() = default;
    ~DirEntries()
    {
        for (int i = 0; i < count_; ++i)
            free(entries_[i]);
        free(entries_);
    }
    DirEntries(const DirEntries&) = delete;
    DirEntries& operator=(const DirEntries&) = delete;

    int scan(const char* dir)
    {
        count_ = scandir(dir, &entries_, nullptr, alphasort);
        return count_;
    }
    int count() const { return count_; }
    const char* name(int i) const { return entries_[i]->d_name; }

private:
    struct dirent** entries_ = nullptr;
    int count_ = 0;
};

bool keep_interface_name(const char* name, const char* pattern)
{
    if (name[0] == '.')
        return false;
    return pattern == nullptr || strstr(name, pattern) != nullptr;
}

} // namespace

int get_interface_list(char*** list, const char* pattern, int* count)
{
    *list = nullptr;
    *count = 0;

    std::string dir = host_path(HOST_SYS_CLASS_NET);
    DirEntries entries;
    if (entries.scan(dir.c_str()) < 0) {
        log_event_f(LOG_ERROR, 0, "No entries found in %s\n", dir.c_str());
        return FWUPG_ERR;
    }

    int kept = 0;
    size_t name_bytes = 0;
    for (int i = 0; i < entries.count(); ++i) {
        if (keep_interface_name(entries.name(i), pattern)) {
            ++kept;
            name_bytes += strlen(entries.name(i)) + 1;
        }
    }
    size_t block_size = static_cast<size_t>(kept) * sizeof(char*) + name_bytes;
    if (block_size == 0)
        return FWUPG_ERR;

    void* block = allocate_zeroed(block_size, __LINE__);
    char** names = static_cast<char**>(block);
    char* next = reinterpret_cast<char*>(names + kept);
    int n = 0;
    for (int i = 0; i < entries.count(); ++i) {
        const char* name = entries.name(i);
        if (!keep_interface_name(name, pattern))
            continue;
        size_t size = strlen(name) + 1;
        memcpy(next, name, size);
        names[n++] = next;
        next += size;
    }
    *list = names;
    *count = kept;
    return FWUPG_OK;
}
