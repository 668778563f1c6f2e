#include "hook/SwaySource.h"

#include "core/Log.h"
#include "core/Strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using json = nlohmann::json;

namespace {

constexpr std::string_view kMagic = "i3-ipc";
constexpr size_t kHeaderSize = kMagic.size() + 2 * sizeof(uint32_t);
// A tree of thousands of windows stays well below this; anything longer is a broken stream.
constexpr uint32_t kMaxPayload = 64u << 20;
constexpr int kRequestTimeoutMs = 2000;

constexpr uint32_t kSubscribe = 2;
constexpr uint32_t kGetTree = 4;
constexpr uint32_t kGetInputs = 100;
constexpr uint32_t kEventBit = 0x80000000u;
constexpr uint32_t kWindowEvent = kEventBit | 3;
constexpr uint32_t kInputEvent = kEventBit | 21;

auto& log() {
    return corvane::logger("hook");
}

json parse(const std::string& text) {
    return json::parse(text, nullptr, false);
}

std::string stringAt(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The first keyboard of a get_inputs answer or the input of an input event, as JSON.
const json* firstKeyboard(const json& inputs) {
    for (const auto& input : inputs)
        if (stringAt(input, "type") == "keyboard" && input.contains("xkb_layout_names"))
            return &input;
    return nullptr;
}

} // namespace

namespace corvane::sway {

std::string frame(uint32_t type, const std::string& payload) {
    std::string bytes(kMagic);
    const auto length = uint32_t(payload.size());
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
    return bytes + payload;
}

std::optional<KVSwaySource::Message> takeFrame(std::string& buffer) {
    if (buffer.size() < kHeaderSize)
        return std::nullopt;
    uint32_t length = 0;
    uint32_t type = 0;
    std::memcpy(&length, buffer.data() + kMagic.size(), sizeof length);
    std::memcpy(&type, buffer.data() + kMagic.size() + sizeof length, sizeof type);
    if (buffer.size() < kHeaderSize + length)
        return std::nullopt;
    KVSwaySource::Message message{type, buffer.substr(kHeaderSize, length)};
    buffer.erase(0, kHeaderSize + length);
    return message;
}

KVWindowOwner containerOwner(const std::string& containerJson) {
    const json container = parse(containerJson);
    KVWindowOwner owner;
    if (!container.is_object())
        return owner;
    if (auto pid = container.find("pid"); pid != container.end() && pid->is_number_integer() && *pid > 0)
        owner.pid = pid->get<pid_t>();
    if (auto appId = stringAt(container, "app_id"); !appId.empty())
        owner.names.push_back(corvane::asciiLower(appId));
    // Programs under Xwayland have no app id, only WM_CLASS.
    if (auto x11 = container.find("window_properties"); x11 != container.end() && x11->is_object())
        for (const char* key : {"instance", "class"})
            if (auto name = corvane::asciiLower(stringAt(*x11, key));
                !name.empty() && std::find(owner.names.begin(), owner.names.end(), name) == owner.names.end())
                owner.names.push_back(name);
    return owner;
}

namespace {
const json* findFocused(const json& node) {
    if (auto focused = node.find("focused"); focused != node.end() && focused->is_boolean() && *focused)
        return &node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        auto list = node.find(children);
        if (list == node.end() || !list->is_array())
            continue;
        for (const auto& child : *list)
            if (const json* found = findFocused(child))
                return found;
    }
    return nullptr;
}
} // namespace

std::string focusedContainer(const std::string& treeJson) {
    const json tree = parse(treeJson);
    const json* focused = tree.is_object() ? findFocused(tree) : nullptr;
    // A workspace or output with focus is no window.
    if (!focused || (stringAt(*focused, "type") != "con" && stringAt(*focused, "type") != "floating_con"))
        return {};
    return focused->dump();
}

} // namespace corvane::sway

std::unique_ptr<KVSwaySource> KVSwaySource::connect(KVMainLoop& loop, const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path)
        return nullptr;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        log().info("no sway IPC at {}: {}", socketPath, std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<KVSwaySource>(new KVSwaySource(loop, fd));
}

KVSwaySource::KVSwaySource(KVMainLoop& loop, int fd) : m_loop(loop), m_fd(fd) {}

KVSwaySource::~KVSwaySource() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    ::close(m_fd);
}

std::optional<KVSwaySource::Message> KVSwaySource::request(uint32_t type, const std::string& payload) {
    if (!writeAll(m_fd, corvane::sway::frame(type, payload)))
        return std::nullopt;
    // Answers come in order; events only after a subscription, and those are kept for later.
    while (true) {
        if (auto message = corvane::sway::takeFrame(m_buffer))
            return message;
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, kRequestTimeoutMs) <= 0)
            return std::nullopt;
        char chunk[65536];
        ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return std::nullopt;
        m_buffer.append(chunk, size_t(n));
    }
}

void KVSwaySource::start(Listener listener) {
    m_listener = std::move(listener);
    if (auto inputs = request(kGetInputs, {}))
        if (const json all = parse(inputs->payload); all.is_array())
            if (const json* keyboard = firstKeyboard(all))
                takeKeyboard(keyboard->dump(), false);
    if (auto tree = request(kGetTree, {}))
        if (auto focused = corvane::sway::focusedContainer(tree->payload); !focused.empty())
            m_listener.foregroundChanged(corvane::sway::containerOwner(focused));
    auto subscribed = request(kSubscribe, R"(["window","input"])");
    if (!subscribed || parse(subscribed->payload).value("success", false) != true) {
        log().error(
            "sway refused the subscription to window and input events: focus changes are not followed");
        return;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_watch = m_loop.watchFd(m_fd, KVMainLoop::Readable, [this](unsigned) { readEvents(); });
    // Events that arrived with the answers are already buffered.
    while (auto message = corvane::sway::takeFrame(m_buffer))
        handle(*message);
}

void KVSwaySource::readEvents() {
    char chunk[65536];
    while (true) {
        ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, size_t(n));
            continue;
        }
        if (n < 0 && (errno == EINTR))
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        log().error("sway closed its IPC connection: focus and layout changes are no longer followed");
        m_loop.unwatchFd(*m_watch);
        m_watch.reset();
        return;
    }
    while (auto message = corvane::sway::takeFrame(m_buffer))
        handle(*message);
    if (m_buffer.size() >= kHeaderSize) {
        uint32_t length = 0;
        std::memcpy(&length, m_buffer.data() + kMagic.size(), sizeof length);
        if (length > kMaxPayload || m_buffer.compare(0, kMagic.size(), kMagic) != 0) {
            log().error("sway IPC sent a broken frame; the connection is dropped");
            m_loop.unwatchFd(*m_watch);
            m_watch.reset();
        }
    }
}

void KVSwaySource::handle(const Message& message) {
    if (message.type != kWindowEvent && message.type != kInputEvent)
        return;
    const json event = parse(message.payload);
    if (!event.is_object())
        return;
    if (message.type == kWindowEvent) {
        if (stringAt(event, "change") == "focus" && event.contains("container"))
            m_listener.foregroundChanged(corvane::sway::containerOwner(event["container"].dump()));
        return;
    }
    const std::string change = stringAt(event, "change");
    if ((change == "xkb_layout" || change == "xkb_keymap" || change == "added") && event.contains("input"))
        takeKeyboard(event["input"].dump(), true);
}

void KVSwaySource::takeKeyboard(const std::string& inputJson, bool announce) {
    const json input = parse(inputJson);
    if (!input.is_object() || stringAt(input, "type") != "keyboard")
        return;
    std::vector<std::string> layouts;
    if (auto names = input.find("xkb_layout_names"); names != input.end() && names->is_array())
        for (const auto& name : *names)
            if (name.is_string())
                layouts.push_back(name.get<std::string>());
    uint8_t group = 0;
    if (auto index = input.find("xkb_active_layout_index");
        index != input.end() && index->is_number_unsigned())
        group = uint8_t(index->get<unsigned>());
    if (layouts.empty() || (layouts == m_layouts && group == m_group))
        return;
    m_layouts = std::move(layouts);
    m_group = group;
    if (announce && m_listener.layoutChanged)
        m_listener.layoutChanged();
}
