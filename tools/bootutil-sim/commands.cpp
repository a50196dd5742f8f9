#include "commands.h"

#include "exit_codes.h"
#include "faults.h"
#include "flash.h"
#include "reports.h"
#include "state_store.h"
#include "targets.h"

#include <cstdio>

namespace bootutil_sim {

namespace {

void print_usage(const std::string& why)
{
    print_banner();
    printf("Error: %s\n", why.c_str());
    printf("Usage: bootutil -E\n");
    printf("       bootutil -iv -QUIET -FILE=<image> [-NIC=<n>]\n");
    printf("       bootutil -iv -QUIET -NIC=<n>\n");
    printf("       bootutil -NIC=<n> -up=pxe+clp+ocd -QUIET -FILE=<image>\n");
}

int run_report(const Command& command, LockedState& locked)
{
    print_banner();
    StateLine* adapter = nullptr;
    StateLine* image = nullptr;
    if (command.kind != CommandKind::ImageReport) {
        adapter = adapter_for_number(locked.state, command.nic);
        if (adapter == nullptr)
            return EXIT_NO_ADAPTER;
    }
    if (command.kind != CommandKind::AdapterReport) {
        image = image_for_path(locked.state, command.file);
        if (image == nullptr)
            return EXIT_BAD_IMAGE;
    }
    // A slow answer must not hold up a flash of another adapter.
    locked.release();
    if (adapter != nullptr)
        delay_by(*adapter, "report_delay");
    write_stderr_if_asked(adapter, "iv");

    if (command.kind == CommandKind::ImageReport)
        print_image_report(command.file, *image);
    else if (command.kind == CommandKind::ImageForAdapter)
        print_image_for_adapter(command.file, *image, *adapter);
    else
        print_adapter_report(*adapter);
    return EXIT_OK;
}

} // namespace

int run_command(const Command& command, const std::string& state_path)
{
    if (command.kind == CommandKind::Invalid) {
        print_usage(command.why);
        return EXIT_USAGE;
    }
    LockedState locked;
    std::string error;
    if (!locked.load(state_path, command.kind == CommandKind::Flash, &error)) {
        fprintf(stderr, "bootutil-sim: %s\n", error.c_str());
        return EXIT_BAD_STATE;
    }
    switch (command.kind) {
    case CommandKind::ListAdapters:
        locked.release();
        print_banner();
        for (const StateLine& line : locked.state.lines)
            write_stderr_if_asked(line.kind == RecordKind::Adapter ? &line : nullptr, "list");
        return print_adapter_list(locked.state);
    case CommandKind::Flash:
        return run_flash(command, locked);
    default:
        return run_report(command, locked);
    }
}

} // namespace bootutil_sim
