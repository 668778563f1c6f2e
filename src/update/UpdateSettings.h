#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Where the maker publishes firmware and configurator versions, and how downloads from there are bounded.
//
// The addresses come from "Updates.plist" in the program folder, so that a packager can set them:
//
//   FirmwareDirectory       https://.../firmware/       "upgrade.txt", "upgrade.bin" and older images
//   ConfiguratorDirectory   https://.../configurator/   "upgrade.txt" and the installer packages
//   FirmwareInstructions    https://.../                the page that explains a manual upgrade
//   AllowPlainHTTP          <true /> to accept http:// addresses (a warning is logged)
//   ConnectTimeout          seconds to reach the server (default 20)
//   StallTimeout            seconds without a byte before a download is given up (default 30)
//
// CORVANE_FIRMWARE_URL and CORVANE_CONFIGURATOR_URL override the two directories, and
// CORVANE_UPDATES_ALLOW_HTTP=1 accepts http:// for them.
struct KVUpdateSettings {
    std::string firmwareDirectory;
    std::string configuratorDirectory;
    std::string instructionsPage;
    bool allowPlainHttp = false;
    std::chrono::seconds connectTimeout{20};
    std::chrono::seconds stallTimeout{30};

    using Environment = std::function<std::optional<std::string>(const char*)>;
    static Environment processEnvironment();

    // Missing or unreadable settings leave the addresses empty (logged): no update can be fetched then.
    static KVUpdateSettings load(const std::string& programFolder, const Environment& environment);
};

// Why `address` may not be fetched, or nothing: only https, and http when `allowPlainHttp`.
std::optional<std::string> addressProblem(std::string_view address, bool allowPlainHttp);

// `directory` and `fileName` joined with exactly one '/'; the name is percent-encoded.
std::string joinAddress(std::string_view directory, std::string_view fileName);
