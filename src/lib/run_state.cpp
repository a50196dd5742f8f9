#include "lib/run_state.h"

uint32_t g_iFlag = 0;
char g_XMLDiscoveryReport[XML_REPORT_PATH_SIZE];
