#include "plugins/PluginCall.h"

#include "core/Log.h"

#include <cstring>
#include <fmt/format.h>

namespace corvane::plugins {

std::string describeCall(std::string_view operation, std::string_view pluginId,
                         std::string_view subPluginId) {
    if (subPluginId.empty())
        return fmt::format("{} of {}", operation, pluginId);
    return fmt::format("{} of {}/{}", operation, pluginId, subPluginId);
}

void logException(const std::string& call, const char* what) {
    corvane::logger("plugins").error("{} failed with an exception: {}", call, what);
}

void reportFault(KVPluginInfo& plugin, const std::string& call, int signal) {
    plugin.markFailed(fmt::format("crashed in {} ({})", call, ::strsignal(signal)));
}

} // namespace corvane::plugins
