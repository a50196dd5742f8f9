#pragma once

enum class AdapterVersions {
    COMPLETE,     // NIC_HAS_ROM is set
    LEFT_OUT,     // the tool gave no usable number, installed or image version (logged)
    INTERRUPTED,  // no further command was given; the record is incomplete
};

// Second pass of the inventory for one kept adapter: the tool's number for
// it, the image's and the adapter's versions.
AdapterVersions read_adapter_versions(int index);
