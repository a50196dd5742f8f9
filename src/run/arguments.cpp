#include "run/arguments.h"

#include "lib/bounded_text.h"
#include "lib/config.h"
#include "lib/return_codes.h"
#include "log/event_log.h"

#include <cstring>

namespace {

// "/d" and "/u" stand for "-d" and "-u"; only the exact lower-case forms.
void rewrite_slash_form(char* arg)
{
    if (strcmp(arg, "/d") == 0 || strcmp(arg, "/u") == 0)
        arg[0] = '-';
}

bool looks_like_option(const char* arg)
{
    return strchr(arg, '-') != nullptr && strlen(arg) > 1;
}

void lowercase_in_place(char* arg)
{
    for (char* p = arg; *p != '\0'; ++p) {
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
        else if (*p == '?')
            *p = 'h';
    }
}

const char* const kUsagePieces[] = {
    "COPYRIGHT\n\t",
    g_CopyrightNotice,
    "\n",
    "NAME\n\t",
    g_ProductTitle,
    "\n",
    "DESCRIPTION\n\t",
    "This zupkit contains the utilities and binaries for upgrading firmware on Velor Stavren Dazed adapters.\n",
    "\n",
    "USAGE: zupkit [ -h ] [ -s [ -f ] ] [ -f ] [ -r ] [ -u ] [ -d ] [ -e ] [ -g ] [ -m ] \n",
    "\t With no options, interactively upgrade firmware, current firmware is saved. \n",
    "\t -h, --help\n\t\tdisplays command line Help information.\n",
    "\t -s, --silent\n\t\tspecifies no GUI promts and assumes default responses.\n",
    "\t -f, --force\n\t\tassumes a forceful operation for all prompts as default.\n",
    "\t -r, --reboot\n\t\tcauses the target system to reboot if the installation requires a reboot to complete the installation.\n",
    "\t -u <filename>, --usexml=<filename>\n\t\tupdates the devices as reflected in the XML file passed in as <filename>.\n",
    "\t -d <filename>, --discovery=<filename>\n\t\texecutes the self-discovery function.\n",
    "\t -e, --rewrite\n\t\tre-installs the firmware if the version to be deployed is the same as or newer than what is already installed.\n",
    "\t -g, --downgrade\n\t\tinstalls the firmware if the version to be deployed is earlier than or newer than what is already installed.\n",
    "\t -m, --mutual\n\t\tassumes it is OK to flash a drive or enclosure in a shared storage environment.\n",
    "\n",
};

} // namespace

int verify_cmd_line_options(int argc, char** argv)
{
    const int given = argc - 1;
    if (given >= 4)
        return FWUPG_ERR;
    if (given <= 0)
        return FWUPG_OK;

    if (given == 1 || given == 2) {
        rewrite_slash_form(argv[1]);
        if (!looks_like_option(argv[1]))
            return FWUPG_ERR;
        const char* report = given == 1 ? g_XMLDiscoveryReportDefault : argv[2];
        // A path that does not fit is refused rather than cut into another name.
        if (!copy_bounded(g_XMLDiscoveryReport, sizeof g_XMLDiscoveryReport, report)) {
            g_XMLDiscoveryReport[0] = '\0';
            return FWUPG_ERR;
        }
    }

    for (int i = 1; i < argc; ++i)
        lowercase_in_place(argv[i]);
    return FWUPG_OK;
}

void usage()
{
    for (const char* piece : kUsagePieces)
        print_message(piece);
}
