#pragma once

// The result of a run stopped by a termination signal. Before any flash it
// was cancelled (FWUPG_QUIT). Once firmware has been flashed it reports what
// changed: FWUPG_OK when every adapter selected for flashing was flashed
// successfully, FWUPG_ERR when one was not flashed or a flash failed.
int interrupted_run_result();
