#include "hook/HyprlandSource.h"

#include "core/Log.h"
#include "core/Strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

using json = nlohmann::json;

namespace {

constexpr const char* kEventSocket = ".socket2.sock";
constexpr const char* kRequestSocket = ".socket.sock";
// Start-up and focus changes must not hang on a compositor that does not answer.
constexpr int kRequestTimeoutSeconds = 2;
// An answer about one window or the devices stays far below this; more is a broken stream.
constexpr size_t kMaxAnswer = 4u << 20;
constexpr size_t kMaxEventLine = 64u << 10;

auto& log() {
    return corvane::logger("hook");
}

std::string stringAt(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int connectTo(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

namespace corvane::hyprland {

KVWindowOwner windowOwner(const std::string& activeWindowJson) {
    const json window = json::parse(activeWindowJson, nullptr, false);
    KVWindowOwner owner;
    if (!window.is_object())
        return owner;
    if (auto pid = window.find("pid"); pid != window.end() && pid->is_number_integer() && *pid > 0)
        owner.pid = pid->get<pid_t>();
    // Programs under Xwayland report their WM_CLASS here, Wayland ones their app id.
    for (const char* key : {"class", "initialClass"})
        if (auto name = corvane::asciiLower(stringAt(window, key));
            !name.empty() && std::find(owner.names.begin(), owner.names.end(), name) == owner.names.end())
            owner.names.push_back(std::move(name));
    return owner;
}

std::optional<Keyboard> mainKeyboard(const std::string& devicesJson) {
    const json devices = json::parse(devicesJson, nullptr, false);
    const json* keyboards = nullptr;
    if (devices.is_object())
        if (auto it = devices.find("keyboards"); it != devices.end() && it->is_array() && !it->empty())
            keyboards = &*it;
    if (!keyboards)
        return std::nullopt;
    const json* chosen = &keyboards->front();
    for (const auto& keyboard : *keyboards)
        if (keyboard.value("main", false) == true) {
            chosen = &keyboard;
            break;
        }
    Keyboard result;
    const auto layouts = split(stringAt(*chosen, "layout"), ',');
    const auto variants = split(stringAt(*chosen, "variant"), ',');
    for (size_t i = 0; i < layouts.size(); ++i)
        if (!layouts[i].empty())
            result.layouts.push_back(i < variants.size() && !variants[i].empty()
                                         ? layouts[i] + "(" + variants[i] + ")"
                                         : layouts[i]);
    result.activeKeymap = stringAt(*chosen, "active_keymap");
    if (auto index = chosen->find("active_layout_index");
        index != chosen->end() && index->is_number_unsigned())
        result.activeIndex = index->get<unsigned>();
    return result;
}

std::vector<std::string> layoutDescriptions(const std::vector<std::string>& layouts) {
    std::string names, variants;
    for (size_t i = 0; i < layouts.size(); ++i) {
        const std::string& layout = layouts[i];
        const auto open = layout.find('(');
        names += (i ? "," : "") + layout.substr(0, open);
        variants += i ? "," : "";
        if (open != std::string::npos && layout.back() == ')')
            variants += layout.substr(open + 1, layout.size() - open - 2);
    }
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       &xkb_context_unref);
    if (!context)
        return {};
    const xkb_rule_names rules{nullptr, nullptr, names.c_str(), variants.c_str(), nullptr};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS), &xkb_keymap_unref);
    std::vector<std::string> descriptions;
    for (xkb_layout_index_t i = 0; keymap && i < xkb_keymap_num_layouts(keymap.get()); ++i) {
        const char* name = xkb_keymap_layout_get_name(keymap.get(), i);
        descriptions.emplace_back(name ? name : "");
    }
    return descriptions;
}

} // namespace corvane::hyprland

std::string KVHyprlandSource::instanceFolder() {
    const char* signature = std::getenv("HYPRLAND_INSTANCE_SIGNATURE");
    if (!signature || !*signature || std::strchr(signature, '/'))
        return {};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    if (runtime && *runtime) {
        std::string folder = std::string(runtime) + "/hypr/" + signature;
        if (std::filesystem::exists(folder + "/" + kEventSocket, error))
            return folder;
    }
    return std::string("/tmp/hypr/") + signature;
}

std::unique_ptr<KVHyprlandSource> KVHyprlandSource::connect(KVMainLoop& loop, const std::string& folder) {
    if (folder.empty())
        return nullptr;
    int fd = connectTo(folder + "/" + kEventSocket);
    if (fd < 0) {
        log().info("no Hyprland event socket in {}: {}", folder, std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<KVHyprlandSource>(new KVHyprlandSource(loop, folder, fd));
}

KVHyprlandSource::KVHyprlandSource(KVMainLoop& loop, std::string folder, int eventFd)
    : m_loop(loop), m_folder(std::move(folder)), m_events(eventFd) {}

KVHyprlandSource::~KVHyprlandSource() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    ::close(m_events);
}

std::string KVHyprlandSource::request(const std::string& command) const {
    int fd = connectTo(m_folder + "/" + kRequestSocket);
    if (fd < 0)
        return {};
    const timeval timeout{kRequestTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::string answer;
    if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) == ssize_t(command.size())) {
        char chunk[8192];
        ssize_t n;
        while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0 && answer.size() < kMaxAnswer)
            answer.append(chunk, size_t(n));
        if (n < 0) {
            log().warn("Hyprland did not answer {}: {}", command, std::strerror(errno));
            answer.clear();
        }
    }
    ::close(fd);
    return answer;
}

void KVHyprlandSource::start(Listener listener) {
    m_listener = std::move(listener);
    readLayouts({}, false);
    readForeground();
    ::fcntl(m_events, F_SETFL, ::fcntl(m_events, F_GETFL) | O_NONBLOCK);
    m_watch = m_loop.watchFd(m_events, KVMainLoop::Readable, [this](unsigned) { readEvents(); });
}

void KVHyprlandSource::readEvents() {
    char chunk[8192];
    while (true) {
        ssize_t n = ::recv(m_events, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        log().error("Hyprland closed its event socket: focus and layout changes are no longer followed");
        m_loop.unwatchFd(*m_watch);
        m_watch.reset();
        return;
    }
    size_t end;
    while ((end = m_buffer.find('\n')) != std::string::npos) {
        const std::string line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        handle(line);
    }
    if (m_buffer.size() > kMaxEventLine) {
        log().warn("Hyprland sent an event line without end; it is dropped");
        m_buffer.clear();
    }
}

void KVHyprlandSource::handle(const std::string& line) {
    const auto separator = line.find(">>");
    if (separator == std::string::npos)
        return;
    const std::string event = line.substr(0, separator);
    const std::string data = line.substr(separator + 2);
    if (event == "activewindowv2") {
        readForeground();
    } else if (event == "activelayout") {
        // The keyboard's name may itself hold commas; the layout's description never does.
        const auto comma = data.rfind(',');
        readLayouts(comma == std::string::npos ? data : data.substr(comma + 1), true);
    }
}

void KVHyprlandSource::readForeground() {
    const KVWindowOwner owner = corvane::hyprland::windowOwner(request("j/activewindow"));
    // A focus on an empty workspace is no program.
    if (owner.known() && m_listener.foregroundChanged)
        m_listener.foregroundChanged(owner);
}

void KVHyprlandSource::readLayouts(const std::string& activeDescription, bool announce) {
    auto keyboard = corvane::hyprland::mainKeyboard(request("j/devices"));
    if (!keyboard || keyboard->layouts.empty()) {
        log().warn("Hyprland names no keyboard layouts");
        return;
    }
    if (keyboard->layouts != m_layouts)
        m_descriptions = corvane::hyprland::layoutDescriptions(keyboard->layouts);
    const std::string& active = activeDescription.empty() ? keyboard->activeKeymap : activeDescription;
    unsigned group = 0;
    if (keyboard->activeIndex) {
        group = *keyboard->activeIndex;
    } else if (auto it = std::find(m_descriptions.begin(), m_descriptions.end(), active);
               it != m_descriptions.end()) {
        group = unsigned(it - m_descriptions.begin());
    }
    if (group >= keyboard->layouts.size())
        group = 0;
    if (keyboard->layouts == m_layouts && group == m_group)
        return;
    m_layouts = std::move(keyboard->layouts);
    m_group = uint8_t(group);
    if (announce && m_listener.layoutChanged)
        m_listener.layoutChanged();
}
