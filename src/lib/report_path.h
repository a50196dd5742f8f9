#pragma once

#include <cstddef>

constexpr size_t XML_REPORT_PATH_SIZE = 4096;

// The discovery report path that run control takes from the command line;
// empty when none. -d writes the report there, -u reads it.
extern char g_XMLDiscoveryReport[XML_REPORT_PATH_SIZE];
