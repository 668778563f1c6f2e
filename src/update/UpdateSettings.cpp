#include "update/UpdateSettings.h"

#include "core/Log.h"
#include "store/PropertyListReader.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr std::string_view kSettingsFile = "Updates.plist";

std::optional<std::chrono::seconds> parseSeconds(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 3600)
        return std::nullopt;
    return std::chrono::seconds(value);
}

void readSeconds(const KVPropertyNode& node, std::string_view key, std::chrono::seconds& into) {
    const std::string text = node.childValue(key);
    if (text.empty())
        return;
    if (auto seconds = parseSeconds(text))
        into = *seconds;
    else
        corvane::logger("update").warn("{} \"{}\" is not a number of seconds from 1 to 3600; keeping {} s",
                                       key, text, into.count());
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

KVUpdateSettings::Environment KVUpdateSettings::processEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value || !*value)
            return std::nullopt;
        return std::string(value);
    };
}

KVUpdateSettings KVUpdateSettings::load(const std::string& programFolder, const Environment& environment) {
    KVUpdateSettings settings;
    const std::string path = (std::filesystem::path(programFolder) / kSettingsFile).string();
    if (auto node = corvane::loadPropertyList(path, "Updates")) {
        settings.firmwareDirectory = node->childValue("FirmwareDirectory");
        settings.configuratorDirectory = node->childValue("ConfiguratorDirectory");
        settings.instructionsPage = node->childValue("FirmwareInstructions");
        settings.allowPlainHttp = node->childValue("AllowPlainHTTP") == "true";
        readSeconds(*node, "ConnectTimeout", settings.connectTimeout);
        readSeconds(*node, "StallTimeout", settings.stallTimeout);
    } else {
        corvane::logger("update").warn("no readable {}; update addresses come only from the environment",
                                       path);
    }
    if (auto address = environment("CORVANE_FIRMWARE_URL"))
        settings.firmwareDirectory = *address;
    if (auto address = environment("CORVANE_CONFIGURATOR_URL"))
        settings.configuratorDirectory = *address;
    if (environment("CORVANE_UPDATES_ALLOW_HTTP") == std::optional<std::string>("1"))
        settings.allowPlainHttp = true;

    for (const std::string* address : {&settings.firmwareDirectory, &settings.configuratorDirectory}) {
        if (startsWith(*address, "http://") && settings.allowPlainHttp)
            corvane::logger("update").warn(
                "{} is plain http: what comes from there can be altered on the way", *address);
    }
    return settings;
}

std::optional<std::string> addressProblem(std::string_view address, bool allowPlainHttp) {
    if (address.empty())
        return "no address is configured";
    if (startsWith(address, "https://"))
        return std::nullopt;
    if (startsWith(address, "http://")) {
        if (allowPlainHttp)
            return std::nullopt;
        return std::string("refusing the plain http address ") + std::string(address) +
               " (set AllowPlainHTTP in Updates.plist or CORVANE_UPDATES_ALLOW_HTTP=1 to accept it)";
    }
    return std::string("refusing ") + std::string(address) + ": only https (or explicitly allowed http)";
}

std::string joinAddress(std::string_view directory, std::string_view fileName) {
    std::string address(directory);
    if (address.empty() || address.back() != '/')
        address += '/';
    // Only the unreserved characters stand for themselves in a path segment; blanks and the rest are
    // encoded byte by byte.
    constexpr std::string_view hex = "0123456789ABCDEF";
    for (unsigned char c : fileName) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            address += char(c);
        } else {
            address += '%';
            address += hex[c >> 4];
            address += hex[c & 15];
        }
    }
    return address;
}
