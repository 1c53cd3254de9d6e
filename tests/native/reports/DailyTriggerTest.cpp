// Which ticks of the daily timer start the pass: the tick inside 23:00:00,
// and the one after a skipped 23:00:00, once per day.
#include <gtest/gtest.h>

#include <vector>

#include "reports/DailyTrigger.h"

namespace {
using reports::ClockTick;

ClockTick At(int day, int h, int m, int s) { return ClockTick{2013, 5, day, h, m, s}; }

// The ticks that start a pass, from a program's first tick on.
std::vector<int> Starts(const std::vector<ClockTick>& ticks) {
    std::vector<int> starts;
    const ClockTick* pPrevious = nullptr;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        if (reports::DailyPassStarts(pPrevious, ticks[i])) starts.push_back(static_cast<int>(i));
        pPrevious = &ticks[i];
    }
    return starts;
}
}  // namespace

TEST(DailyTriggerTest, StartsOncePerDayAtOrRightAfter23000) {
    struct Case {
        const char* name;
        std::vector<ClockTick> ticks;
        std::vector<int> starts;
    } cases[] = {
        {"a tick inside the second", {At(7, 22, 59, 59), At(7, 23, 0, 0), At(7, 23, 0, 1)}, {1}},
        {"the second skipped (22:59:59.99, 23:00:01.01)", {At(7, 22, 59, 59), At(7, 23, 0, 1), At(7, 23, 0, 2)}, {1}},
        // 22:59:59.5, 23:00:00.4, 23:00:01.4
        {"late ticks, one inside", {At(7, 22, 59, 59), At(7, 23, 0, 0), At(7, 23, 0, 1)}, {1}},
        {"two ticks inside start it anew", {At(7, 22, 59, 59), At(7, 23, 0, 0), At(7, 23, 0, 0)}, {1, 2}},
        {"a thread busy for minutes", {At(7, 22, 58, 10), At(7, 23, 4, 30), At(7, 23, 4, 31)}, {1}},
        {"started at 23:30", {At(7, 23, 30, 0), At(7, 23, 30, 1), At(7, 23, 59, 59)}, {}},
        {"started at 23:30, the next day's second",
         {At(7, 23, 30, 0), At(8, 0, 0, 0), At(8, 22, 59, 59), At(8, 23, 0, 0)},
         {3}},
        {"midnight is no start", {At(7, 23, 59, 59), At(8, 0, 0, 0), At(8, 0, 0, 1)}, {}},
        {"a stall across midnight gives no late pass for the day before", {At(7, 22, 59, 59), At(8, 0, 0, 5)}, {}},
        {"first tick after start lands after the second", {At(7, 23, 0, 1)}, {}},
        {"first tick after start inside the second", {At(7, 23, 0, 0)}, {0}},
        {"the hours before", {At(7, 0, 0, 0), At(7, 11, 0, 0), At(7, 22, 0, 0), At(7, 22, 59, 59)}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Starts(c.ticks), c.starts) << c.name;
}

// A tick of another month or year is another day, even with the same day number.
TEST(DailyTriggerTest, PreviousTickOfAnotherMonthOrYearIsAnotherDay) {
    const ClockTick now{2013, 6, 7, 23, 0, 1};
    for (const ClockTick& previous : {ClockTick{2013, 5, 7, 22, 59, 59}, ClockTick{2012, 6, 7, 22, 59, 59}})
        EXPECT_FALSE(reports::DailyPassStarts(&previous, now));
    const ClockTick sameDay{2013, 6, 7, 22, 59, 59};
    EXPECT_TRUE(reports::DailyPassStarts(&sameDay, now));
}
