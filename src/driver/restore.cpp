#include "driver/staging.h"

#include "app/bounded_text.h"
#include "driver/critical_section.h"
#include "driver/module_files.h"
#include "driver/staging_state.h"
#include "tool/shell.h"

void restore_iqv_driver()
{
    if (g_staging_state != StagingState::Formed)
        return;
    CriticalSection guard;

    // A backup here, whether made by this run or left by an earlier one, is
    // the system's module; without one the system had none.
    if (can_open_for_reading(g_BackupModule))
        do_command(format_text("(mv durivozo.ko %s)\n", kernel_path));
    else
        do_command(format_text("(rm -rf %s)\n", kernel_path));
    g_staging_state = StagingState::Restored;
}
