#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The requests that `corvane-ctl` hands to the running configurator over its instance socket, and the
// answers. Each connection carries one request line and one answer line, both JSON objects:
//
//   {"command": "enable", "arguments": ["Work"]}
//   {"ok": true, "data": {...}}  or  {"ok": false, "error": "no layer or group is called \"Work\""}
//
// A request that downloads sends progress lines ({"progress": 40}) before its answer.
//
// The older one-word requests of a second start ("show", "open <path>", "close") share the socket; a
// control request is told from them by its opening brace.

struct KVControlRequest {
    std::string command;
    std::vector<std::string> arguments;
};

struct KVControlAnswer {
    bool ok = true;
    // Why the request was refused; empty when it succeeded.
    std::string error;
    // What the command reports (shape per command); null when it has nothing to say.
    nlohmann::json data;

    static KVControlAnswer refused(std::string why) { return {false, std::move(why), nullptr}; }
    static KVControlAnswer done(nlohmann::json data = nullptr) { return {true, {}, std::move(data)}; }
};

namespace corvane::control {

// A request or answer is one line; anything longer is not ours.
inline constexpr size_t kMaxLineBytes = 4 * 1024 * 1024;

bool isControlLine(std::string_view line);

struct KVArgumentCount {
    size_t least;
    size_t most;
};
// How many arguments a request takes; empty for a request that does not exist.
std::optional<KVArgumentCount> argumentCount(std::string_view command);

std::string encodeRequest(const KVControlRequest& request);
// Empty for anything but a well-formed request object.
std::optional<KVControlRequest> decodeRequest(std::string_view line);

std::string encodeAnswer(const KVControlAnswer& answer);
std::string encodeProgress(unsigned percent);
// The percentage of a progress line; empty for any other line.
std::optional<unsigned> decodeProgress(std::string_view line);
std::optional<KVControlAnswer> decodeAnswer(std::string_view line);

} // namespace corvane::control
