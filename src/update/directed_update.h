#pragma once

// Flashes the adapters that a discovery report marks (-u).
int read_discovery_report();
