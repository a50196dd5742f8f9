#include "run/run_control.h"

#include "driver/staging.h"
#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/host_seam.h"
#include "lib/interrupts.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "lib/trusted_directory.h"
#include "log/event_log.h"
#include "run/arguments.h"
#include "run/options.h"
#include "run/run_lock.h"
#include "run/run_summary.h"
#include "update/run_outcome.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

namespace {

int refuse()
{
    usage();
    return FWUPG_ERR;
}

void log_header()
{
    log_dazed_event(dazed_fout, LOG_PLAIN, LOG_SEPARATOR, 0);
    log_dazed_event(dazed_fout, LOG_PLAIN, g_CopyrightNotice, 0);
    log_dazed_event(dazed_fout, LOG_PLAIN, g_ProductTitle, 0);
    log_dazed_event(dazed_fout, LOG_PLAIN, LOG_SEPARATOR, 0);
    log_dazed_event(dazed_fout, LOG_PLAIN, "\n", 0);
}

// Later write errors are ignored, but a run whose header could not be
// written would flash firmware with no record at all. Nothing has changed on
// the host yet, so it stops here as if the log could not be opened. The
// caller clears errno before the header: the stream keeps only an error
// flag, errno the reason.
bool header_written()
{
    if (fflush(dazed_fout) == 0 && !ferror(dazed_fout))
        return true;
    fprintf(stderr, "FWUPG_ERROR: could not write %s (%d), %s,%d\n", g_EventLogPath.c_str(),
            errno != 0 ? errno : EIO, DIAGNOSTIC_TAIL);
    return false;
}

// A run stopped by a termination signal says so in the log; an adapter
// flashed before the signal still needs the reboot.
int end_interrupted_run()
{
    log_event_f(LOG_ERROR, 1, "Interrupted by %s; stopping.\n", interrupt_signal_name(interrupt_signal()));
    if (g_iFlag & RUN_FLASH_OK)
        log_event_f(LOG_INFO, 1, "Reboot the system for FW upgrade to take effect.\n");
    return interrupted_run_result();
}

// Parses the (normalised) options into g_iFlag and runs the selected mode.
int parse_and_dispatch(int argc, char** argv)
{
    int parsed = parse_options(argc, argv);
    if (parsed != OPTIONS_PARSED)
        return parsed;
    const Mode* mode = select_mode(g_iFlag);
    if (mode == nullptr)
        return refuse();
    if (interrupted())
        return interrupted_run_result();
    // Now the console gate is known: staging's warning shows where the mode shows anything.
    print_message(staging_load_warning().c_str());
    note_mode_reached(mode->name);
    return mode->run();
}

// Staging, arguments and the mode. A signal during staging is held until
// staging is complete; the mode does not start after one.
int run_steps(int argc, char** argv)
{
    if (interrupted())
        return interrupted_run_result();
    if (update_iqv_driver() != 0)
        return FWUPG_ERR;
    if (verify_cmd_line_options(argc, argv) == FWUPG_ERR)
        return refuse();
    return parse_and_dispatch(argc, argv);
}

// The event log is never followed through a symlink, and no child gets it.
FILE* open_event_log()
{
    int fd = open(g_EventLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    FILE* log = fdopen(fd, "w");
    if (log == nullptr) {
        int err = errno;
        close(fd);
        errno = err;
    }
    return log;
}

// Out of memory anywhere ends the run in order: the caller still restores
// and logs the return value. The message is composed without allocating.
int run_in_order(int (*step)(int, char**), int argc, char** argv)
{
    try {
        return step(argc, argv);
    } catch (const std::bad_alloc&) {
        log_dazed_event(dazed_fout, LOG_ERROR, "Out of memory; stopping.\n", 1);
        return FWUPG_ERR;
    }
}

} // namespace

int run_dazed_fug(int argc, char** argv)
{
    note_mode_reached(nullptr);
    if (!lock_working_directory()) {
        fprintf(stderr, "FWUPG_ERROR: another run is active in this working directory, %s,%d\n", DIAGNOSTIC_TAIL);
        return FWUPG_ERR;
    }
    const std::string untrusted = untrusted_working_directory();
    if (!untrusted.empty()) {
        fprintf(stderr, "FWUPG_ERROR: not run as root here: %s, %s,%d\n", untrusted.c_str(), DIAGNOSTIC_TAIL);
        return FWUPG_ERR;
    }
    if (lock_module_tree() == TreeLock::BUSY) {
        fprintf(stderr, "FWUPG_ERROR: another run is staging the flash driver in %s, %s,%d\n",
                host_path(HOST_LIB_MODULES).c_str(), DIAGNOSTIC_TAIL);
        return FWUPG_ERR;
    }
    install_interrupt_handlers();
    dazed_fout = open_event_log();
    if (dazed_fout == nullptr) {
        unlock_module_tree();
        fprintf(stderr, "FWUPG_ERROR: could not open %s (%d), %s,%d\n", g_EventLogPath.c_str(),
                errno, DIAGNOSTIC_TAIL);
        return FWUPG_ERR;
    }
    errno = 0;
    log_header();
    log_time(dazed_fout);
    log_command(argc, argv);
    if (!header_written()) {
        fclose(dazed_fout);
        dazed_fout = nullptr;
        unlock_module_tree();
        return FWUPG_ERR;
    }

    int result = run_in_order(run_steps, argc, argv);

    // Restore completes whatever arrives meanwhile; only then is the
    // signal acted on. A module not put back outranks every other result.
    bool restored = run_in_order([](int, char**) { return restore_iqv_driver(); }, 0, nullptr) == FWUPG_OK;
    unlock_module_tree();
    if (interrupted())
        result = end_interrupted_run();
    if (!restored)
        result = FWUPG_ERR;
    log_ret_val(result);
    log_run_summary(result);
    log_dazed_event(dazed_fout, LOG_PLAIN, LOG_SEPARATOR, 0);
    log_dazed_event(dazed_fout, LOG_PLAIN, "\n", 0);
    fclose(dazed_fout);
    dazed_fout = nullptr;
    return result;
}
