// The idle time asked of the desktop over the session bus, with GNOME's idle monitor played by
// python-dbusmock on a private bus.

#include "devicectl/SessionBusIdle.h"

#include "support/MockSessionBus.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kMutter = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMutterPath = "/org/gnome/Mutter/IdleMonitor/Core";

// Asks until `done` holds of the answer, as the device controller's tick does; false after 15 s.
template <typename Done> bool askUntil(IKVIdleSource& idle, Done done) {
    for (auto end = std::chrono::steady_clock::now() + 15s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(100ms))
        if (done(idle.IdleTime()))
            return true;
    return false;
}

} // namespace

TEST(SessionBusIdle, GnomesIdleMonitorIsAskedOnceASecondAndCountedOnInBetween) {
    MockSessionBus bus;
    if (!haveMockTools() || bus.address.empty())
        GTEST_SKIP() << "dbus-daemon, busctl or python3-dbusmock is not installed";
    const auto setIdle = [&](unsigned ms) {
        return bus.addMethod(kMutter, kMutterPath, kMutter, "GetIdletime", "", "t",
                             "ret = " + std::to_string(ms));
    };
    auto mutter = bus.mock(kMutter, kMutterPath, kMutter);
    ASSERT_TRUE(mutter && setIdle(42'000));
    auto idle = KVSessionBusIdle::open(bus.address);
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->service(), KVSessionBusIdle::Service::MutterIdleMonitor);
    const auto first = idle->IdleTime().value_or(0ms);
    EXPECT_GE(first, 42'000ms);
    EXPECT_LT(first, 52'000ms);

    // The user came back: the next question to the bus tells.
    ASSERT_TRUE(setIdle(300));
    EXPECT_TRUE(askUntil(*idle, [](auto ms) { return ms && *ms < 10'000ms; }));
    // Between questions the time goes on from the last answer.
    EXPECT_TRUE(askUntil(*idle, [](auto ms) { return ms && *ms >= 400ms; }));

    // A desktop that goes away leaves no idle time, rather than a stale one.
    mutter.reset();
    EXPECT_TRUE(askUntil(*idle, [](auto ms) { return !ms; }));
}
