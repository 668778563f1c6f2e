#include "hook/SwaySource.h"

#include <gtest/gtest.h>

namespace sway = corvane::sway;

// The hook's following of sway's focus and layout is tested end to end with the configurator on sway.

namespace {

TEST(SwayIpc, FramesAreTakenWholeAndInOrder) {
    std::string stream = sway::frame(0x80000003u, R"({"change":"focus"})") + sway::frame(4, "[]");
    std::string buffer = stream.substr(0, 10);
    EXPECT_FALSE(sway::takeFrame(buffer)) << "header incomplete";
    buffer = stream.substr(0, stream.size() - 1);
    auto first = sway::takeFrame(buffer);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, 0x80000003u);
    EXPECT_EQ(first->payload, R"({"change":"focus"})");
    EXPECT_FALSE(sway::takeFrame(buffer)) << "payload incomplete";
    buffer += stream.back();
    auto second = sway::takeFrame(buffer);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->payload, "[]");
    EXPECT_TRUE(buffer.empty());
}

TEST(SwayIpc, ContainersNameTheirProgram) {
    auto native = sway::containerOwner(R"({"pid":412,"app_id":"Org.Example.Foot"})");
    EXPECT_EQ(native.pid, 412);
    EXPECT_EQ(native.names, std::vector<std::string>{"org.example.foot"});
    auto x11 = sway::containerOwner(
        R"({"pid":0,"app_id":null,"window_properties":{"class":"XCalc","instance":"xcalc"}})");
    EXPECT_EQ(x11.pid, std::nullopt);
    EXPECT_EQ(x11.names, (std::vector<std::string>{"xcalc"}));
    EXPECT_FALSE(sway::containerOwner("not json").known());
}

TEST(SwayIpc, TheFocusedWindowIsFoundInTheTreeButNotAFocusedWorkspace) {
    const std::string tree = R"({"type":"root","focused":false,"nodes":[{"type":"output","nodes":[
        {"type":"workspace","focused":false,"nodes":[{"type":"con","focused":false,"pid":1}],
         "floating_nodes":[{"type":"floating_con","focused":true,"pid":2,"app_id":"f"}]}]}]})";
    EXPECT_EQ(sway::containerOwner(sway::focusedContainer(tree)).pid, 2);
    EXPECT_EQ(sway::focusedContainer(R"({"type":"root","nodes":[{"type":"workspace","focused":true}]})"), "");
}

} // namespace
