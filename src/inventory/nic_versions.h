#pragma once

// Second pass of the inventory for one kept adapter: the tool's number for
// it, the image's and the adapter's versions. Sets NIC_HAS_ROM.
void read_adapter_versions(int index);
