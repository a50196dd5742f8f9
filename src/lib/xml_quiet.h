#pragma once

// Keeps libxml2's own diagnostics off the console: the program reports a
// broken catalog or report through its own log lines only.
void quiet_libxml_errors();
