#include "control/ControlProtocol.h"

#include <map>

namespace corvane::control {

using nlohmann::json;

namespace {

const std::map<std::string, KVArgumentCount, std::less<>> kRequests{
    {"list", {0, 0}},           {"status", {0, 0}}, {"enable", {1, 1}},         {"disable", {1, 1}},
    {"delete", {1, 1}},         {"import", {1, 1}}, {"import-picture", {1, 3}}, {"export", {2, 2}},
    {"export-picture", {2, 2}}, {"dump", {1, 1}},   {"update", {1, 1}},         {"firmware", {1, 2}},
};

} // namespace

std::optional<KVArgumentCount> argumentCount(std::string_view command) {
    const auto found = kRequests.find(command);
    return found == kRequests.end() ? std::nullopt : std::optional(found->second);
}

bool isControlLine(std::string_view line) {
    return !line.empty() && line.front() == '{';
}

std::string encodeRequest(const KVControlRequest& request) {
    return json{{"command", request.command}, {"arguments", request.arguments}}.dump();
}

std::optional<KVControlRequest> decodeRequest(std::string_view line) {
    // Parsing without exceptions: a malformed line gives a discarded value.
    const json value = json::parse(line, nullptr, false);
    if (!value.is_object())
        return std::nullopt;
    const auto command = value.find("command");
    if (command == value.end() || !command->is_string())
        return std::nullopt;
    KVControlRequest request{command->get<std::string>(), {}};
    if (const auto arguments = value.find("arguments"); arguments != value.end()) {
        if (!arguments->is_array())
            return std::nullopt;
        for (const auto& argument : *arguments) {
            if (!argument.is_string())
                return std::nullopt;
            request.arguments.push_back(argument.get<std::string>());
        }
    }
    return request;
}

std::string encodeAnswer(const KVControlAnswer& answer) {
    json value{{"ok", answer.ok}};
    if (!answer.ok)
        value["error"] = answer.error;
    if (!answer.data.is_null())
        value["data"] = answer.data;
    // Text from files (names, paths) need not be valid UTF-8; replace what is not rather than fail.
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string encodeProgress(unsigned percent) {
    return json{{"progress", percent}}.dump();
}

std::optional<unsigned> decodeProgress(std::string_view line) {
    const json value = json::parse(line, nullptr, false);
    if (!value.is_object() || value.contains("ok"))
        return std::nullopt;
    const auto progress = value.find("progress");
    if (progress == value.end() || !progress->is_number_unsigned())
        return std::nullopt;
    return progress->get<unsigned>();
}

std::optional<KVControlAnswer> decodeAnswer(std::string_view line) {
    const json value = json::parse(line, nullptr, false);
    if (!value.is_object() || !value.contains("ok") || !value["ok"].is_boolean())
        return std::nullopt;
    KVControlAnswer answer;
    answer.ok = value["ok"].get<bool>();
    if (const auto error = value.find("error"); error != value.end() && error->is_string())
        answer.error = error->get<std::string>();
    if (!answer.ok && answer.error.empty())
        answer.error = "refused without a reason";
    if (const auto data = value.find("data"); data != value.end())
        answer.data = *data;
    return answer;
}

} // namespace corvane::control
