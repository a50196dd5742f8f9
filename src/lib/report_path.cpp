#include "lib/report_path.h"

char g_XMLDiscoveryReport[XML_REPORT_PATH_SIZE];
