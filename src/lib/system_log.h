#pragma once

#include <string>

// One message to the system log (the datagram socket /dev/log, through the
// host seam), as the daemon facility with the ident "dazed-fug". A host
// without a log daemon simply has no such socket; nothing is reported then.
// severity is a syslog level (LOG_INFO, LOG_ERR, ...).
void send_to_system_log(int severity, const std::string& message);
