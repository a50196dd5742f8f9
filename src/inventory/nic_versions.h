#pragma once

// Second pass of the inventory for one kept adapter: the tool's number for
// it, the image's and the adapter's versions. Sets NIC_HAS_ROM. False when
// the run was interrupted on the way: no further command was given and the
// record is incomplete.
bool read_adapter_versions(int index);
