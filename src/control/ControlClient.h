#pragma once

#include "control/ControlProtocol.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// The tool's end of the instance socket.
class KVControlClient {
public:
    enum class Reach {
        Answered,   // the running configurator answered
        NoInstance, // nothing listens on the socket
        Broken,     // something listens but gave no valid answer in time
    };

    struct Result {
        Reach reach = Reach::NoInstance;
        KVControlAnswer answer;
    };

    // `socketPath`: the running configurator's "dispatch.sock". `timeout` bounds the wait for each line.
    explicit KVControlClient(std::string socketPath,
                             std::chrono::milliseconds timeout = std::chrono::seconds(60));

    // `progress` hears the progress lines of a request that downloads.
    Result send(const KVControlRequest& request, const std::function<void(unsigned)>& progress = {}) const;

private:
    std::string m_socketPath;
    std::chrono::milliseconds m_timeout;
};
