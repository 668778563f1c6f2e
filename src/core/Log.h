#pragma once

#include <spdlog/spdlog.h>
#include <string_view>

namespace corvane {

// Sends the log to stderr; the level comes from CORVANE_LOG (trace, debug, info, warn, error, off),
// info when it is unset or not understood.
void initLogging();

// The logger of one library, named after its folder: every line it writes starts with that name
// ("device: ..."), so one library's lines can be told and filtered together. Created on first use.
spdlog::logger& logger(std::string_view library);

} // namespace corvane
