#pragma once

#include "core/MainLoop.h"
#include "device/TavirexCorvane.h"

#include <atomic>
#include <string>
#include <vector>

// Hands every callback to the loop thread as the application's device object does, and records it
// there ("connected", "down 5", ...).
class RecordingHandler final : public CTavirexCorvane::IEventHandler {
public:
    explicit RecordingHandler(KVMainLoop& loop) : m_loop(loop) {}
    void OnConnected() override { record("connected"); }
    void OnDisconnected() override { record("disconnected"); }
    void OnKeyDown(unsigned key) override { record("down " + std::to_string(key)); }
    void OnKeyUp(unsigned key) override { record("up " + std::to_string(key)); }

    std::vector<std::string> events; // loop thread only
    std::atomic<unsigned> attempts = 0;
    unsigned refused = 0;

private:
    void record(std::string event) {
        ++attempts;
        if (!m_loop.send([&] { events.push_back(event); }))
            ++refused;
    }
    KVMainLoop& m_loop;
};
