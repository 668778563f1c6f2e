#include "core/Messages.h"

#include <array>
#include <string>
#include <utility>

std::string_view kvMessageName(KVMessage message) {
    static constexpr std::pair<KVMessage, std::string_view> kNames[] = {
#define KV_MESSAGE_NAME(number, name, W, L) {number, #name},
        KV_STANDARD_MESSAGES(KV_MESSAGE_NAME) KV_PRIVATE_MESSAGES(KV_MESSAGE_NAME)
#undef KV_MESSAGE_NAME
    };
    for (const auto& [number, name] : kNames)
        if (number == message)
            return name;
    thread_local std::string unnamed;
    unnamed = std::to_string(message);
    return unnamed;
}
