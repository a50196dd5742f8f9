#include "lib/config.h"

const char g_FwDir[] = "./nic_fw/";
const char g_IqvDir[] = "./durivozo/";
const char g_fwupg[] = "./bootutil";
const char g_XMLFwFile[] = "nic_fw/NICFWData.xml";
const char g_XMLDiscoveryReportDefault[] = "nicdiscovery.xml";
const char g_EventLogName[] = "bootutil.log";

const char g_CopyrightNotice[] = "Copyright (C) 2026 The Tarkwell developers. All rights reserved.\n";
const char g_ProductTitle[] = "Tarkwell\n";

const char g_SourceName[] = "dazed-fug";
