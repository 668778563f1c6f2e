#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Log = std::vector<std::string>;

struct Recorder {
    Log& log;
    std::string name;
    void plain() { log.push_back(name + ":plain"); }
};

struct Window : IKVMessageWindow {
    Log& log;
    std::string name;
    Window(Log& log, std::string name) : log(log), name(std::move(name)) {}
    void receiveMessage(KVMessage message, KVWParam, KVLParam) override {
        log.push_back(name + ":window " + std::to_string(message));
    }
};

struct DispatchTest : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    Log log;
};

TEST_F(DispatchTest, HandlersRunOnceInRegistrationOrderBeforeWindowsInIdOrderUntilClosed) {
    Window first(log, "w1"), second(log, "w2");
    Recorder a{log, "a"}, b{log, "b"};
    dispatch.RegisterWindow(KVM_DEVICE_STATE, &second);
    dispatch.RegisterWindow(KVM_DEVICE_STATE, &first);
    for (int twice = 0; twice < 2; ++twice) {
        dispatch.RegisterHandler<KVM_DEVICE_STATE>(&b, &Recorder::plain);
        dispatch.RegisterHandler<KVM_DEVICE_STATE>(&a, &Recorder::plain);
        dispatch.RegisterHandler<KVM_RUNNING_APPS_CHANGED>(&a, &Recorder::plain);
    }
    EXPECT_EQ(dispatch.handlerCount(KVM_DEVICE_STATE), 2u);
    EXPECT_TRUE(dispatch.send<KVM_DEVICE_STATE>(0));
    dispatch.NotifyDispatch(KVM_RUNNING_APPS_CHANGED);
    EXPECT_EQ(log, (Log{"b:plain", "a:plain", "w1:window 2040", "w2:window 2040", "a:plain"}));

    // Closing destroys the dispatch; later messages are not delivered.
    bool ended = false;
    dispatch.SetDestroyedCallback([&] { ended = true; });
    dispatch.RegisterHandler<KVM_DESTROY>(&b, &Recorder::plain);
    dispatch.NotifyDispatch(KVM_CLOSE);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(dispatch.IsDestroyed());
    EXPECT_FALSE(dispatch.NotifyDispatch(KVM_RUNNING_APPS_CHANGED));
    EXPECT_EQ(log.size(), 6u);
    EXPECT_EQ(log.back(), "b:plain");
}

// Registration is typed per message: a handler takes nothing, (W) or (W, L) of the message's own types.
struct H;
template <KVMessage M, class... Handler> constexpr bool fit = (KVHandlerFor<M, Handler> && ...);
template <KVMessage M, class... Handler> constexpr bool noneFit = (!KVHandlerFor<M, Handler> && ...);
static_assert(
    fit<KVM_KEY_EVENT, void (H::*)(), void (H::*)(unsigned, int), void (H::*)(const unsigned&, const int&),
        void (H::*)(unsigned), void (H::*)(unsigned, int) const>);
static_assert(noneFit<KVM_KEY_EVENT, void (H::*)(int, int), void (H::*)(unsigned, long),
                      void (H::*)(unsigned, int, int), void (H::*)(unsigned&, int), void (*)(unsigned, int)>);
static_assert(fit<KVM_OPEN_LAYERS_FILE, void (H::*)(const char*)>);
static_assert(noneFit<KVM_OPEN_LAYERS_FILE, void (H::*)(std::string), void (H::*)(unsigned long)>);
static_assert(fit<KVM_WINDOW_ACTIVATED_SECOND_SOURCE, void (H::*)(unsigned long)>);
static_assert(noneFit<KVM_WINDOW_ACTIVATED, void (H::*)(unsigned)>);
static_assert(fit<KVM_PLUGIN_IMAGE_UPDATED, void (H::*)(KVViewPluginInstance*, unsigned)>);
static_assert(noneFit<KVM_DEVICE_STATE, void (H::*)(const char*)>);

TEST_F(DispatchTest, NestedSendsRunInsideTheOuterOneAndTextArrivesAsACopy) {
    struct Chain {
        CKVMessageDispatch& dispatch;
        Log& log;
        const char* seen = nullptr;
        void onForeground() {
            log.push_back("evaluate");
            dispatch.NotifyDispatch(KVM_ACTIVE_LAYERS_CHANGED);
            log.push_back("evaluated");
        }
        void onActive() { log.push_back("compose"); }
        void onOpen(const char* path) {
            seen = path;
            log.push_back(path);
        }
    } chain{dispatch, log};
    Window window(log, "w");
    dispatch.RegisterHandler<KVM_FOREGROUND_APP_CHANGED>(&chain, &Chain::onForeground);
    dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(&chain, &Chain::onActive);
    dispatch.RegisterHandler<KVM_OPEN_LAYERS_FILE>(&chain, &Chain::onOpen);
    dispatch.RegisterWindow(KVM_OPEN_LAYERS_FILE, &window);
    dispatch.RegisterHandler<KVM_COPYDATA>(&chain, &Chain::onActive);
    dispatch.NotifyDispatch(KVM_FOREGROUND_APP_CHANGED);
    std::string path = "/home/me/Games.LAYERS";
    dispatch.send<KVM_OPEN_LAYERS_FILE>(path.c_str());
    EXPECT_NE(chain.seen, path.c_str()) << "handlers must see the dispatch's copy, not the sender's text";
    // A data copy without its record is not dispatched.
    EXPECT_TRUE(dispatch.Send(KVM_COPYDATA, 0, 0));
    EXPECT_EQ(log, (Log{"evaluate", "compose", "evaluated", "/home/me/Games.LAYERS", "w:window 2048"}));
}

TEST_F(DispatchTest, UnregisteredWindowsAndHandlersAreNotReachedEvenDuringADispatch) {
    struct Closer : IKVMessageWindow {
        CKVMessageDispatch& dispatch;
        IKVMessageWindow* other;
        Closer(CKVMessageDispatch& d, IKVMessageWindow* o) : dispatch(d), other(o) {}
        void receiveMessage(KVMessage, KVWParam, KVLParam) override { dispatch.UnregisterWindow(other); }
    };
    Closer closer(dispatch, nullptr); // made first: the lower id, reached first
    Window window(log, "w");
    closer.other = &window;
    Recorder a{log, "a"};
    dispatch.RegisterWindow(KVM_KEYS_EDITED, &window);
    dispatch.RegisterWindow(KVM_TREE_SELECTION_CHANGED, &window);
    dispatch.RegisterHandler<KVM_KEYS_EDITED>(&a, &Recorder::plain);
    dispatch.UnregisterWindow(&window);
    dispatch.UnregisterHandlers(&a);
    EXPECT_EQ(dispatch.windowCount(KVM_KEYS_EDITED), 0u);
    EXPECT_EQ(dispatch.handlerCount(KVM_KEYS_EDITED), 0u);
    dispatch.NotifyDispatch(KVM_KEYS_EDITED);
    // A window that goes away while a message is dispatched is not reached by it.
    dispatch.RegisterWindow(KVM_BINDING_EDITED, &closer);
    dispatch.RegisterWindow(KVM_BINDING_EDITED, &window);
    dispatch.NotifyDispatch(KVM_BINDING_EDITED);
    EXPECT_TRUE(log.empty());
}

TEST_F(DispatchTest, SendsFromAWorkerRunOnTheLoopThreadAndAWorkerThatKeepsSendingCannotHangShutdown) {
    struct Probe {
        std::thread::id ranOn;
        std::atomic<int> count{0};
        void onKey(unsigned, int) {
            ranOn = std::this_thread::get_id();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++count;
        }
    } probe;
    dispatch.RegisterHandler<KVM_KEY_EVENT>(&probe, &Probe::onKey);
    std::atomic<bool> sendReturned{false};
    int countWhenReturned = 0;
    std::thread waiting([&] {
        EXPECT_TRUE(dispatch.send<KVM_KEY_EVENT>(3, 1));
        countWhenReturned = probe.count;
        sendReturned = true;
    });
    EXPECT_TRUE(loop.runUntil([&] { return sendReturned.load(); }, std::chrono::seconds(10)));
    waiting.join();
    EXPECT_EQ(probe.ranOn, std::this_thread::get_id());
    EXPECT_EQ(countWhenReturned, 1) << "the worker waits for its message to be handled";

    // Joining a worker serves its sends.
    std::atomic<bool> done{false};
    std::thread joined([&] {
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(dispatch.send<KVM_KEY_EVENT>(i, 0));
        done = true;
    });
    EXPECT_TRUE(loop.serveSendsUntil([&] { return done.load(); }, std::chrono::seconds(10)));
    joined.join();
    EXPECT_EQ(probe.count, 6);

    // The loop thread stops serving and joins a worker that keeps sending, as the device's shutdown does.
    std::atomic<bool> refused{false};
    std::thread endless([&] {
        while (!refused)
            refused = !dispatch.send<KVM_KEY_EVENT>(1, 1);
    });
    loop.runUntil([&] { return probe.count >= 9; }, std::chrono::seconds(10));
    loop.refuseSends();
    endless.join();
    EXPECT_TRUE(refused);
    EXPECT_GE(probe.count, 9);
}

} // namespace
