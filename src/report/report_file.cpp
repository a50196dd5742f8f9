#include "report/report_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A temporary file beside the target, removed unless renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target)
    {
        std::string pattern = target + ".tmp-XXXXXX";
        name_.assign(pattern.begin(), pattern.end());
        name_.push_back('\0');
        fd_ = mkstemp(name_.data());
        created_ = fd_ >= 0;
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            close(fd_);
        if (created_ && !renamed_)
            unlink(name_.data());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return created_; }
    int fd() const { return fd_; }
    const char* name() const { return name_.data(); }

    bool close_file()
    {
        int rc = close(fd_);
        fd_ = -1;
        return rc == 0;
    }
    bool rename_to(const char* target)
    {
        renamed_ = rename(name_.data(), target) == 0;
        return renamed_;
    }

private:
    std::vector<char> name_;
    int fd_ = -1;
    bool created_ = false;
    bool renamed_ = false;
};

// The mode a newly created file gets; mkstemp alone would give 0600.
mode_t default_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool save_report_document(xmlDocPtr doc, const char* path)
{
    if (doc == nullptr || path == nullptr || *path == '\0')
        return false;
    TemporaryFile temporary(path);
    if (!temporary.created())
        return false;
    if (fchmod(temporary.fd(), default_file_mode()) != 0)
        return false;
    // The save opens the file by name; the descriptor stays open so that the
    // content written through the name can be synced before the rename.
    if (xmlSaveFileEnc(temporary.name(), doc, "UTF-8") < 0)
        return false;
    if (fsync(temporary.fd()) != 0 || !temporary.close_file())
        return false;
    return temporary.rename_to(path);
}
