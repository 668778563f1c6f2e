#pragma once

#include "core/MainLoop.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class CKVCommandLineInfo;
class CKVMessageDispatch;

// The waits of a later start.
struct KVInstanceTiming {
    std::chrono::milliseconds findRetry{7000};   // wait before looking for the running instance again
    std::chrono::milliseconds restartWait{7000}; // how long a restart waits for the old instance to end
    std::chrono::milliseconds openDelay{777};    // pause before handing over an archive path
};

// One configurator per user: the first instance holds a lock on "instance.lock" in the private temporary
// folder and listens on "dispatch.sock" beside it; a later start hands its request over and ends.
// Requests are one line each: "show", "open <path>", "close", or a control request (a JSON object from
// corvane-ctl), which gets one answer line back before the connection closes.
class KVSingleInstance {
public:
    enum class Outcome {
        First,           // no other instance: carry on starting
        HandedOver,      // the running instance got the request (or it was lost); end this process
        RestartTimedOut, // the running instance did not end in time; end this process with failure
        Failed,          // the lock cannot be taken at all; end with failure
    };
    using Timing = KVInstanceTiming;

    explicit KVSingleInstance(std::string folder, Timing timing = {});
    ~KVSingleInstance();
    KVSingleInstance(const KVSingleInstance&) = delete;
    KVSingleInstance& operator=(const KVSingleInstance&) = delete;

    Outcome check(const CKVCommandLineInfo& commandLine);

    // First instance: from now on, requests of later starts reach `dispatch`.
    void serve(KVMainLoop& loop, CKVMessageDispatch& dispatch);

    // Writes one line back to the tool that made a control request; false once it is gone. The
    // connection closes when the last copy of the writer goes.
    using ControlWriter = std::function<bool(std::string_view line)>;
    // Answers a control request, at once or later through the writer; set once the services are up.
    using ControlHandler = std::function<void(std::string_view request, ControlWriter write)>;
    void setControlHandler(ControlHandler handler) { m_controlHandler = std::move(handler); }

    // A later start's request, without the lock: false when no running instance could be reached.
    bool sendRequest(const std::string& request);

private:
    bool tryLock();
    bool listen();
    bool connectAndSend(const std::string& request);
    void acceptConnections();
    void readRequest(int fd);
    void handleRequest(const std::string& request);
    void answerControlRequest(int fd, const std::string& request);
    static ControlWriter writerFor(int fd);

    std::string m_folder;
    Timing m_timing;
    int m_lockFd = -1;
    int m_listenFd = -1;
    KVMainLoop* m_loop = nullptr;
    CKVMessageDispatch* m_dispatch = nullptr;
    ControlHandler m_controlHandler;
    std::optional<KVMainLoop::WatchId> m_listenWatch;
    struct Client;
    std::vector<std::unique_ptr<Client>> m_clients;
};
