#pragma once

// For each of the first count records of g_ninfo, in order: the flash tool's
// number by MAC address, the image from the catalog, and the flash when the
// record is marked. Returns 0, or FWUPG_ERR when a device could not be
// handled or a flash failed; a catalog miss ends the loop at once.
int flash_report_devices(int count);
