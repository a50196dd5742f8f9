#pragma once

namespace bootutil_sim {

// Exit codes of the simulator; a flash_exit fault gives its own code.
constexpr int EXIT_OK = 0;
constexpr int EXIT_USAGE = 1;
constexpr int EXIT_BAD_IMAGE = 2;
constexpr int EXIT_NO_ADAPTER = 3;
constexpr int EXIT_PSID_MISMATCH = 8;
constexpr int EXIT_BAD_STATE = 9;

} // namespace bootutil_sim
