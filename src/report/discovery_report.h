#pragma once

// Writes the discovery report (-d).
int discover_HW();
