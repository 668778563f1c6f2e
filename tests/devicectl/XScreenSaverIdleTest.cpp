#include "devicectl/XScreenSaverIdle.h"

#include "support/Xvfb.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

TEST(XScreenSaverIdle, IdleTimeGrowsWithoutInputAndStartsAgainWithIt) {
    EXPECT_FALSE(KVXScreenSaverIdle::open(":987")); // no server, no source
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "no Xvfb";
    const auto idle = KVXScreenSaverIdle::open(server.display());
    ASSERT_TRUE(idle);
    const auto first = idle->IdleTime();
    std::this_thread::sleep_for(300ms);
    const auto later = idle->IdleTime();
    ASSERT_TRUE(first && later);
    EXPECT_GE(*later - *first, 250ms);

    // Input through the server resets it.
    const std::string command = "DISPLAY=" + server.display() + " xdotool mousemove 10 10 mousemove 20 20";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto afterInput = idle->IdleTime();
    ASSERT_TRUE(afterInput);
    EXPECT_LT(*afterInput, *later);
}
