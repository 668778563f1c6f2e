#pragma once

#include <spdlog/spdlog.h>

namespace corvane {

// Sends the log to stderr; the level comes from CORVANE_LOG (trace, debug, info, warn, error, off),
// info when it is unset or not understood.
void initLogging();

} // namespace corvane
