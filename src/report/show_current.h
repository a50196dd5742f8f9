#pragma once

// Prints the installed and available versions of every supported adapter (-c).
int show_current();
