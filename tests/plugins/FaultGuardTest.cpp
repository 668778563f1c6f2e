#include "plugins/FaultGuard.h"

#include "plugins/CallWatchdog.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <thread>

namespace {

using namespace corvane::plugins;

void writeToForbiddenPage(void*) {
    *static_cast<volatile int*>(::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) = 1;
}

void callContainedFaultInside(void* result) {
    // A guarded call inside a guarded call: the inner fault returns to the inner guard only.
    *static_cast<int*>(result) = runContained(&writeToForbiddenPage, nullptr);
}

// A fault in a plug-in's call is contained in the plug-in tests; here the nesting.
TEST(FaultGuardTest, AFaultInsideReturnsItsSignalToTheInnermostGuardOnly) {
    int inner = 0;
    EXPECT_EQ(runContained(&callContainedFaultInside, &inner), 0);
    EXPECT_EQ(inner, SIGSEGV);
}

TEST(FaultGuardDeathTest, AFaultOutsideAGuardedCallStillEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_TRUE(faultGuardInstalled());
    EXPECT_DEATH(writeToForbiddenPage(nullptr), "");
    // The program's own code called back from inside a guarded call is not contained either.
    const auto ours = [](void*) {
        const KVUnguardedScope unguarded;
        writeToForbiddenPage(nullptr);
    };
    EXPECT_DEATH(runContained(ours, nullptr), "");
}

TEST(CallWatchdogTest, ACallThatDoesNotReturnInTimeIsReportedOnce) {
    KVCallWatchdog watchdog(std::chrono::milliseconds(20));
    const uint64_t quick = watchdog.begin("Start of Quick/One");
    watchdog.end(quick);
    const uint64_t slow = watchdog.begin("Start of Slow/One");
    while (watchdog.overdueReports() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    watchdog.end(slow);
    EXPECT_EQ(watchdog.overdueReports(), 1u);
}

} // namespace
