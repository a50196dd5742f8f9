#include "run/options.h"

#include "lib/bounded_text.h"
#include "lib/return_codes.h"
#include "lib/run_state.h"
#include "log/event_log.h"
#include "report/discovery_report.h"
#include "report/show_current.h"
#include "run/arguments.h"
#include "update/directed_update.h"
#include "update/fw_upgrade.h"

#include <getopt.h>

#include <string>
#include <vector>

namespace {

enum class OptionAction { SET_BIT, HELP, REFUSE };

struct Option {
    char letter;
    const char* long_name;  // null: no long form
    OptionAction action;
    uint32_t bit;
};

// The options in the order of the short-option string; the long forms
// follow it. -r and -m are described by the usage text but refused.
const Option kOptions[] = {
    {'c', nullptr, OptionAction::SET_BIT, RUN_SHOW_CURRENT},
    {'h', "help", OptionAction::HELP, 0},
    {'s', "silent", OptionAction::SET_BIT, RUN_SILENT},
    {'f', "force", OptionAction::SET_BIT, RUN_FORCE},
    {'r', "reboot", OptionAction::REFUSE, 0},
    {'u', "usexml", OptionAction::SET_BIT, RUN_USE_XML},
    {'d', "discovery", OptionAction::SET_BIT, RUN_DISCOVERY},
    {'e', "rewrite", OptionAction::SET_BIT, RUN_REWRITE},
    {'g', "downgrade", OptionAction::SET_BIT, RUN_DOWNGRADE},
    {'m', "mutual", OptionAction::REFUSE, 0},
};

const std::string& short_options()
{
    static const std::string text = [] {
        std::string letters;
        for (const Option& o : kOptions)
            letters += o.letter;
        return letters;
    }();
    return text;
}

const struct option* long_options()
{
    static const std::vector<struct option> table = [] {
        std::vector<struct option> rows;
        for (const Option& o : kOptions) {
            if (o.long_name != nullptr)
                rows.push_back({o.long_name, no_argument, nullptr, o.letter});
        }
        rows.push_back({nullptr, 0, nullptr, 0});
        return rows;
    }();
    return table.data();
}

const Option* find_option(int letter)
{
    for (const Option& o : kOptions) {
        if (o.letter == letter)
            return &o;
    }
    return nullptr;
}

// The modes, each once.
const Mode kUpdate{fw_upgrade, "update"};
const Mode kShowCurrent{show_current, "current versions (-c)"};
const Mode kDiscovery{discover_HW, "discovery report (-d)"};
const Mode kDirectedUpdate{read_discovery_report, "directed update (-u)"};

// One row per test, in the order they are made: when `when` is set, any bit
// of `refused_with` refuses the command line; otherwise `mode` (if any) runs.
struct CombinationRule {
    uint32_t when;
    uint32_t refused_with;
    const Mode* mode;
};

constexpr uint32_t kSilentRefused = RUN_SHOW_CURRENT | RUN_DISCOVERY;
constexpr uint32_t kForceRefused = RUN_SHOW_CURRENT | RUN_DISCOVERY | RUN_USE_XML | RUN_DOWNGRADE | RUN_REWRITE;
constexpr uint32_t kShowCurrentRefused =
    RUN_SILENT | RUN_FORCE | RUN_DISCOVERY | RUN_USE_XML | RUN_DOWNGRADE | RUN_REWRITE;
constexpr uint32_t kDowngradeOrRewriteRefused = RUN_SHOW_CURRENT | RUN_FORCE | RUN_DISCOVERY | RUN_USE_XML;
constexpr uint32_t kDiscoveryRefused =
    RUN_SHOW_CURRENT | RUN_SILENT | RUN_FORCE | RUN_USE_XML | RUN_DOWNGRADE | RUN_REWRITE;
constexpr uint32_t kUseXmlRefused = RUN_SHOW_CURRENT | RUN_FORCE | RUN_DISCOVERY | RUN_DOWNGRADE | RUN_REWRITE;
static_assert(kSilentRefused == 0x21 && kForceRefused == 0x3061 && kShowCurrentRefused == 0x3066 &&
                  kDowngradeOrRewriteRefused == 0x65 && kDiscoveryRefused == 0x3047 && kUseXmlRefused == 0x3025,
              "the refused combinations are the documented masks");

const CombinationRule kCombinationRules[] = {
    {RUN_SILENT, kSilentRefused, nullptr},
    {RUN_FORCE, kForceRefused, nullptr},
    {RUN_SHOW_CURRENT, kShowCurrentRefused, &kShowCurrent},
    {RUN_DOWNGRADE, kDowngradeOrRewriteRefused, nullptr},
    {RUN_REWRITE, kDowngradeOrRewriteRefused, nullptr},
    {RUN_DISCOVERY, kDiscoveryRefused, &kDiscovery},
    {RUN_USE_XML, kUseXmlRefused, &kDirectedUpdate},
};

} // namespace

int parse_options(int argc, char** argv)
{
    optind = 0;  // full re-initialisation, so that a second run parses afresh
    for (;;) {
        int letter = getopt_long(argc, argv, short_options().c_str(), long_options(), nullptr);
        if (letter == -1)
            return OPTIONS_PARSED;
        const Option* option = find_option(letter);
        if (option != nullptr && option->action == OptionAction::HELP) {
            usage();
            return FWUPG_OK;
        }
        if (option == nullptr || option->action == OptionAction::REFUSE) {
            char line[64];
            format_bounded(line, sizeof line, "Unknown command line option: %c\n", letter);
            print_message(line);
            usage();
            return FWUPG_ERR;
        }
        g_iFlag |= option->bit;
    }
}

const Mode* select_mode(uint32_t flags)
{
    for (const CombinationRule& rule : kCombinationRules) {
        if ((flags & rule.when) == 0)
            continue;
        if ((flags & rule.refused_with) != 0)
            return nullptr;
        if (rule.mode != nullptr)
            return rule.mode;
    }
    return &kUpdate;
}
