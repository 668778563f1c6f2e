#include "core/Log.h"

#include <cstdlib>
#include <spdlog/sinks/stdout_color_sinks.h>

namespace corvane {

void initLogging() {
    auto logger = spdlog::stderr_color_mt("corvane");
    logger->set_pattern("%H:%M:%S.%e %^%-5l%$ %v");
    spdlog::set_default_logger(logger);

    auto level = spdlog::level::info;
    if (const char* text = std::getenv("CORVANE_LOG"); text && *text) {
        const auto parsed = spdlog::level::from_str(text);
        // from_str answers "off" for anything it does not know; only take "off" when it was asked for.
        if (parsed != spdlog::level::off || std::string_view(text) == "off")
            level = parsed;
        else
            spdlog::warn("CORVANE_LOG={} is not a log level; using info", text);
    }
    spdlog::set_level(level);
}

} // namespace corvane
