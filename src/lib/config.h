#pragma once

// Compiled-in configuration; nothing is read from the environment or a file.
extern const char g_FwDir[];                     // "./nic_fw/"
extern const char g_IqvDir[];                    // "./durivozo/"
extern const char g_fwupg[];                     // "./bootutil"
extern const char g_XMLFwFile[];                 // "nic_fw/NICFWData.xml"
extern const char g_XMLDiscoveryReportDefault[]; // "nicdiscovery.xml"
extern const char g_EventLogName[];              // "bootutil.log"

// Shown in the log header and in the usage text.
extern const char g_CopyrightNotice[];
extern const char g_ProductTitle[];              // "Tarkwell\n"

// Source name that ends the low-level diagnostics on standard error.
extern const char g_SourceName[];                // "dazed-fug"

// The tail of every diagnostic on standard error, for a format that ends in
// "%s,%d": the source name and the reporting line.
#define DIAGNOSTIC_TAIL g_SourceName, __LINE__
