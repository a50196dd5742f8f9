#pragma once

#include "state_model.h"

#include <string>

namespace bootutil_sim {

// The host state read under an flock on the state file; the lock is held
// until the object goes (a flash keeps it across read, change and rewrite).
class LockedState {
public:
    LockedState() = default;
    ~LockedState();
    LockedState(const LockedState&) = delete;
    LockedState& operator=(const LockedState&) = delete;

    // Reads and parses the state file, shared or exclusive. A missing file
    // is a host with no adapters and no images. False with a message on a
    // read error or a malformed file.
    bool load(const std::string& path, bool exclusive, std::string* error);

    // Writes the state to a temporary file beside the state file and
    // renames it into place.
    bool store(std::string* error);

    // Gives the lock back early (a report does not need it while it sleeps).
    void release();

    HostState state;

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace bootutil_sim
