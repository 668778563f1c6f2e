#include "hook/HyprlandSource.h"

#include "hook/HookEvents.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace hyprland = corvane::hyprland;

namespace {

TEST(HyprlandIpc, TheActiveWindowNamesItsProcessAndClasses) {
    auto native =
        hyprland::windowOwner(R"({"address":"0x55d0","pid":812,"class":"Foot","initialClass":"foot"})");
    EXPECT_EQ(native.pid, 812);
    EXPECT_EQ(native.names, std::vector<std::string>{"foot"});
    auto remote = hyprland::windowOwner(R"({"pid":-1,"class":"XCalc","initialClass":"xcalc-start"})");
    EXPECT_EQ(remote.pid, std::nullopt);
    EXPECT_EQ(remote.names, (std::vector<std::string>{"xcalc", "xcalc-start"}));
    EXPECT_FALSE(hyprland::windowOwner("{}").known()) << "an empty workspace has focus";
    EXPECT_FALSE(hyprland::windowOwner("unknown request").known());
}

TEST(HyprlandIpc, TheMainKeyboardGivesTheLayoutsWithTheirVariants) {
    auto keyboard = hyprland::mainKeyboard(R"json({"mice":[],"keyboards":[
        {"name":"power-button","layout":"us","variant":"","active_keymap":"English (US)","main":false},
        {"name":"at-kbd","layout":"us,de,fr","variant":",nodeadkeys,","active_keymap":"German (no dead keys)",
         "main":true}]})json");
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->layouts, (std::vector<std::string>{"us", "de(nodeadkeys)", "fr"}));
    EXPECT_EQ(keyboard->activeKeymap, "German (no dead keys)");
    EXPECT_EQ(keyboard->activeIndex, std::nullopt);
    EXPECT_FALSE(hyprland::mainKeyboard(R"({"keyboards":[]})"));
    EXPECT_EQ(hyprland::layoutDescriptions({"us", "de(nodeadkeys)"}),
              (std::vector<std::string>{"English (US)", "German (no dead keys)"}));
}

// Hyprland's two sockets: requests answered from the state the test sets, events sent when it says.
class FakeHyprland {
public:
    explicit FakeHyprland(const std::string& folder)
        : m_requests(listen(folder + "/.socket.sock")), m_events(listen(folder + "/.socket2.sock")),
          m_thread([this] { serve(); }) {}
    ~FakeHyprland() {
        m_stop = true;
        m_thread.join();
        for (int fd : {m_requests, m_events, m_subscriber.load()})
            if (fd >= 0)
                ::close(fd);
    }
    void setAnswer(const std::string& request, const std::string& answer) {
        std::lock_guard lock(m_mutex);
        m_answers[request] = answer;
    }
    bool subscribed() const { return m_subscriber >= 0; }
    void emit(const std::string& line) { ::send(m_subscriber, line.data(), line.size(), MSG_NOSIGNAL); }

private:
    static int listen(const std::string& path) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)
            ADD_FAILURE() << "cannot listen on " << path;
        return fd;
    }
    void serve() {
        while (!m_stop) {
            pollfd ready[2] = {{m_requests, POLLIN, 0}, {m_events, POLLIN, 0}};
            if (::poll(ready, 2, 50) <= 0)
                continue;
            if (ready[1].revents & POLLIN)
                m_subscriber = ::accept4(m_events, nullptr, nullptr, SOCK_CLOEXEC);
            if (ready[0].revents & POLLIN)
                answer(::accept4(m_requests, nullptr, nullptr, SOCK_CLOEXEC));
        }
    }
    void answer(int client) {
        char request[256] = {};
        const ssize_t n = ::recv(client, request, sizeof request - 1, 0);
        std::unique_lock lock(m_mutex);
        auto it = m_answers.find(std::string(request, n > 0 ? size_t(n) : 0));
        const std::string reply = it != m_answers.end() ? it->second : "unknown request";
        lock.unlock();
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    int m_requests;
    int m_events;
    std::atomic<int> m_subscriber{-1};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::map<std::string, std::string> m_answers;
    std::thread m_thread;
};

std::string devices(const std::string& active) {
    return R"({"keyboards":[{"name":"kbd","layout":"us,de","variant":"","active_keymap":")" + active +
           R"(","main":true}]})";
}

using HyprlandHookTest = HookEventsTest;

TEST_F(HyprlandHookTest, FocusAndLayoutFollowTheEventSocket) {
    TempDir runtime;
    const std::string signature = "v0.41_1717171717_test";
    std::filesystem::create_directories(runtime.path() / "hypr" / signature);
    FakeHyprland hyprland((runtime.path() / "hypr" / signature).string());
    hyprland.setAnswer("j/activewindow", R"({"pid":)" + std::to_string(::getpid()) + R"(,"class":"foot"})");
    hyprland.setAnswer("j/devices", devices("English (US)"));
    ScopedEnvironment env;
    env.set("WAYLAND_DISPLAY", "wayland-nonexistent");
    env.unset("SWAYSOCK");
    env.set("XDG_RUNTIME_DIR", runtime.path().string());
    env.set("HYPRLAND_INSTANCE_SIGNATURE", signature);

    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    ASSERT_EQ(hook.foregroundSource(), "Hyprland IPC");
    ASSERT_FALSE(activated.empty()) << "the window in front at the start is known at once";
    EXPECT_EQ(hook.WindowOwner(activated.back()).pid, ::getpid());
    EXPECT_EQ(hook.sessionLayouts(), (std::vector<std::string>{"us", "de"}));
    EXPECT_EQ(hook.layoutGroup(), 0);
    ASSERT_TRUE(loop.runUntil([&] { return hyprland.subscribed(); }, 10s));

    hyprland.setAnswer("j/activewindow", R"({"pid":0,"class":"org.example.Viewer"})");
    // Events may arrive in pieces and together.
    hyprland.emit("workspace>>2\nactivewindow>>org.example.Viewer,Pictures\nactivewindowv2>>55d0");
    hyprland.emit("c2a0\n");
    EXPECT_TRUE(awaitNames(hook, {"org.example.viewer"}));

    hyprland.setAnswer("j/devices", devices("German"));
    hyprland.emit("activelayout>>at-translated-set-2-keyboard,German\n");
    EXPECT_TRUE(loop.runUntil([&] { return hook.layoutGroup() == 1; }, 10s));
    EXPECT_GT(stateChanges, 0);
    hook.UnHook();
}

TEST(HyprlandSource, NoSignatureOrNoSocketMeansNoSource) {
    KVManualLoop loop;
    ScopedEnvironment env;
    env.unset("HYPRLAND_INSTANCE_SIGNATURE");
    EXPECT_EQ(KVHyprlandSource::instanceFolder(), "");
    env.set("HYPRLAND_INSTANCE_SIGNATURE", "../escape");
    EXPECT_EQ(KVHyprlandSource::instanceFolder(), "") << "a signature is no path";
    EXPECT_FALSE(KVHyprlandSource::connect(loop, "/nonexistent/hypr/x"));
}

} // namespace
