#include "report/report_values.h"

#include "inventory/nic_info.h"
#include "lib/bounded_text.h"
#include "report/report_format.h"

#include <cstring>

namespace {

void build_version_text(const RomVersion& version, char* out, size_t out_size)
{
    copy_bounded(out, out_size, version_text(version).c_str());
}

struct ActionRow {
    VersionOrder order;
    const char* action;
    bool marks_update;
};

const ActionRow kActions[] = {
    {VersionOrder::AVAILABLE_NEWER, "upgrade", true},
    {VersionOrder::SAME, "rewrite", true},
    {VersionOrder::INSTALLED_NEWER, "downgrade", false},
};

} // namespace

void build_XML_FW_item_version(const char*, char* out, size_t out_size, int index)
{
    build_version_text(g_ninfo[static_cast<size_t>(index)].img_version, out, out_size);
}

void build_XML_FW_item_active_version(const char*, char* out, size_t out_size, int index)
{
    build_version_text(g_ninfo[static_cast<size_t>(index)].cur_version, out, out_size);
}

void recommend_XML_FW_action(const char* item_type, char* out, size_t out_size, int index)
{
    NicInfo& nic = g_ninfo[static_cast<size_t>(index)];
    if (item_type == nullptr || strstr(item_type, REPORT_ITEM_ROM) == nullptr || !(nic.flags & NIC_HAS_ROM))
        return;
    VersionOrder order = compare_versions(nic.cur_version, nic.img_version);
    for (const ActionRow& row : kActions) {
        if (row.order != order)
            continue;
        copy_bounded(out, out_size, row.action);
        if (row.marks_update)
            nic.flags |= NIC_UPDATE;
        return;
    }
}

BusParts split_bus_location(const std::string& location)
{
    BusParts parts;
    size_t colon = location.find(':');
    parts.bus = location.substr(0, colon);
    if (colon == std::string::npos)
        return parts;
    size_t dot = location.find('.', colon + 1);
    parts.device = location.substr(colon + 1, dot == std::string::npos ? std::string::npos : dot - colon - 1);
    if (dot != std::string::npos)
        parts.function = location.substr(dot + 1);
    return parts;
}
