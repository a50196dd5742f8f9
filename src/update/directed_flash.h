#pragma once

// For each of the first count records of g_ninfo, in order: the image from
// the catalog and, for a record that its action marks, the flash tool's
// number by MAC address and the flash. The tool is checked first, but only
// when a record is marked. Returns 0, or FWUPG_ERR when the tool
// or the catalog is unusable, a marked device could not be flashed or a
// flash failed; a catalog miss ends the loop at once.
int flash_report_devices(int count);
