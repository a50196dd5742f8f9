#pragma once

#include "scenarios.h"

namespace bench {

// A hostile report (size 0: one element with every attribute that fits;
// otherwise the most work the limits admit) or the largest catalog, timed
// from the file to the answer. Plain sh has no counterpart.
ScenarioResult run_limits(const Scenario& scenario, const Options& options);

} // namespace bench
