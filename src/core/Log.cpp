#include "core/Log.h"

#include <cstdlib>
#include <mutex>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <string>

namespace corvane {

namespace {
constexpr const char* kPattern = "%H:%M:%S.%e %^%-5l%$ %v";
constexpr const char* kLibraryPattern = "%H:%M:%S.%e %^%-5l%$ %n: %v";
} // namespace

void initLogging() {
    auto logger = spdlog::stderr_color_mt("corvane");
    logger->set_pattern(kPattern);
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
    // Every registered logger, and those the libraries create later, take this level.
    spdlog::set_level(level);
}

spdlog::logger& logger(std::string_view library) {
    // Two threads asking for a new library's logger at once must not both create it.
    static std::mutex creating;
    const std::lock_guard lock(creating);
    const std::string name(library);
    if (auto existing = spdlog::get(name))
        return *existing;
    // Each logger has its own stderr sink so that it keeps its own pattern; the sinks share one
    // console lock, so lines never interleave.
    auto created = spdlog::stderr_color_mt(name);
    created->set_pattern(kLibraryPattern);
    return *created;
}

} // namespace corvane
