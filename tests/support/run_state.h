#pragma once

namespace testing_support {

// Everything a run leaves in the process, back as at process start: the run
// flags, the inventory, the report path, staging, signals, the catalog as
// read and the probes' sockets. Each piece is reset by the code that owns it.
void reset_run_state();

} // namespace testing_support
