// The time-of-day condition: its range arithmetic directly, and its reports through the library.
#include "FakeHost.h"
#include "TimeOfDay/TimeOfDayRange.h"

#include <ctime>
#include <gtest/gtest.h>

using namespace corvane_test;
using corvane_plugins::isBetween;
using corvane_plugins::parseTimeOfDay;

namespace {

constexpr int at(int hours, int minutes) {
    return hours * 3600 + minutes * 60;
}

TEST(TimeOfDayRange, ReadsTimesOfDay) {
    EXPECT_EQ(parseTimeOfDay("08:30"), at(8, 30));
    EXPECT_EQ(parseTimeOfDay("8:05"), at(8, 5));
    EXPECT_EQ(parseTimeOfDay("23:59:59"), at(23, 59) + 59);
    for (const char* bad : {"", "24:00", "12:60", "12", "12:30:", "12:30:60", "12:30pm", "-1:30", "noon"})
        EXPECT_FALSE(parseTimeOfDay(bad)) << bad;
}

TEST(TimeOfDayRange, HoldsFromTheStartUntilJustBeforeTheEnd) {
    EXPECT_TRUE(isBetween(at(8, 0), at(8, 0), at(17, 0)));
    EXPECT_TRUE(isBetween(at(16, 59), at(8, 0), at(17, 0)));
    EXPECT_FALSE(isBetween(at(17, 0), at(8, 0), at(17, 0)));
    EXPECT_FALSE(isBetween(at(7, 59), at(8, 0), at(17, 0)));
    // Over midnight.
    EXPECT_TRUE(isBetween(at(23, 0), at(22, 0), at(6, 0)));
    EXPECT_TRUE(isBetween(at(0, 0), at(22, 0), at(6, 0)));
    EXPECT_TRUE(isBetween(at(5, 59), at(22, 0), at(6, 0)));
    EXPECT_FALSE(isBetween(at(6, 0), at(22, 0), at(6, 0)));
    EXPECT_FALSE(isBetween(at(12, 0), at(22, 0), at(6, 0)));
    // Equal ends: an empty range, at that time too.
    EXPECT_FALSE(isBetween(at(9, 0), at(9, 0), at(9, 0)));
    EXPECT_FALSE(isBetween(at(10, 0), at(9, 0), at(9, 0)));
}

TEST(TimeOfDayRange, CountsTheWaitUntilATimeAcrossMidnight) {
    EXPECT_EQ(corvane_plugins::secondsUntil(at(23, 0), at(1, 0)), 2 * 3600);
    EXPECT_EQ(corvane_plugins::secondsUntil(at(1, 0), at(23, 0)), 22 * 3600);
    EXPECT_EQ(corvane_plugins::secondsUntil(at(1, 0), at(1, 0)), 24 * 3600);
}

std::string timeOfDayIn(int hours) {
    std::time_t now = std::time(nullptr) + hours * 3600;
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

// The states a Between condition reports from its creation.
std::vector<int32_t> reportedStates(const std::string& from, const std::string& to) {
    PluginLibrary library("TimeOfDay");
    FakeCondition condition;
    condition.properties = {{"From", from}, {"To", to}};
    ObjectGuard between(library.createCondition("Between", condition));
    return condition.states;
}

TEST(TimeOfDayBetween, ReportsItsStateWhenCreated) {
    // A range around the current time that leaves it out (the configurator's own test shows a range
    // that holds now and one that starts later).
    EXPECT_EQ(reportedStates(timeOfDayIn(2), timeOfDayIn(-2)), std::vector<int32_t>{0});
    // A range that cannot be read never holds.
    EXPECT_EQ(reportedStates("late", timeOfDayIn(2)), std::vector<int32_t>{0});
    EXPECT_EQ(reportedStates(timeOfDayIn(-2), ""), std::vector<int32_t>{0});
}

} // namespace
