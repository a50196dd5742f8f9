// Every combination of the option bits against the modes they may reach.
#include "lib/run_state.h"
#include "report/discovery_report.h"
#include "report/show_current.h"
#include "run/run_control.h"
#include "update/directed_update.h"
#include "update/fw_upgrade.h"

#include <gtest/gtest.h>

namespace {

const uint32_t kOptionBits[] = {RUN_SHOW_CURRENT, RUN_SILENT, RUN_FORCE, RUN_DISCOVERY,
                                RUN_USE_XML, RUN_DOWNGRADE, RUN_REWRITE};

// Written from the table of allowed combinations, not from the rule order.
ModeFunction expected_mode(uint32_t f)
{
    const uint32_t modes = RUN_SHOW_CURRENT | RUN_DISCOVERY | RUN_USE_XML;
    if (f == RUN_SHOW_CURRENT)
        return show_current;
    if (f == RUN_DISCOVERY)
        return discover_HW;
    if (f == RUN_USE_XML || f == (RUN_USE_XML | RUN_SILENT))
        return read_discovery_report;
    if ((f & modes) == 0 && !((f & RUN_FORCE) && (f & (RUN_DOWNGRADE | RUN_REWRITE))))
        return fw_upgrade;
    return nullptr;
}

TEST(ModeSelection, EveryCombinationOfOptionBits)
{
    for (unsigned combo = 0; combo < (1u << 7); ++combo) {
        uint32_t flags = 0;
        for (unsigned i = 0; i < 7; ++i) {
            if (combo & (1u << i))
                flags |= kOptionBits[i];
        }
        const Mode* mode = select_mode(flags);
        EXPECT_EQ(mode != nullptr ? mode->run : nullptr, expected_mode(flags)) << std::hex << "flags 0x" << flags;
    }
}

} // namespace
