#pragma once

#include "core/MainLoop.h"
#include "hook/DesktopSource.h"

#include <memory>
#include <optional>
#include <string>

// Sway's IPC socket ($SWAYSOCK): window focus events carry the focused container's process and app id,
// input events the keyboard's layouts and the one in use.
class KVSwaySource final : public KVDesktopSource {
public:
    // nullptr when there is no sway socket to talk to.
    static std::unique_ptr<KVSwaySource> connect(KVMainLoop& loop, const std::string& socketPath);
    ~KVSwaySource() override;

    const char* name() const override { return "sway IPC"; }
    void start(Listener listener) override;
    std::vector<std::string> layouts() const override { return m_layouts; }
    uint8_t layoutGroup() const override { return m_group; }

    struct Message;

private:
    KVSwaySource(KVMainLoop& loop, int fd);
    std::optional<Message> request(uint32_t type, const std::string& payload);
    void readEvents();
    void handle(const Message& message);
    void takeKeyboard(const std::string& inputJson, bool announce);

    KVMainLoop& m_loop;
    int m_fd;
    Listener m_listener;
    std::optional<KVMainLoop::WatchId> m_watch;
    std::string m_buffer;
    std::vector<std::string> m_layouts;
    uint8_t m_group = 0;
};

namespace corvane::sway {

// One i3-ipc frame: the magic "i3-ipc", the payload length and type in native byte order, the payload.
std::string frame(uint32_t type, const std::string& payload);
// Takes the first whole frame off the front of `buffer`; nothing while it is incomplete.
std::optional<KVSwaySource::Message> takeFrame(std::string& buffer);
// The program of a sway container (JSON): its pid, else app id, else the X11 instance and class.
KVWindowOwner containerOwner(const std::string& containerJson);
// The focused container of a get_tree answer (JSON); empty when nothing has focus.
std::string focusedContainer(const std::string& treeJson);

} // namespace corvane::sway

struct KVSwaySource::Message {
    uint32_t type = 0;
    std::string payload;
};
