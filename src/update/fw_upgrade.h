#pragma once

// The default mode: judge every adapter in order (stopping at a quit), then
// flash every selected one. Returns FWUPG_OK, FWUPG_QUIT or FWUPG_ERR.
int fw_upgrade();
