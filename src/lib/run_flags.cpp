#include "lib/run_flags.h"

uint32_t g_iFlag = 0;
