// The trend math on tables written here by hand. Expected figures are worked
// out in the comments: on most days X0 = v, X1 = 2000 - v and X2 = X3 = 1000,
// so the axis average is 1000 and X0's relative level is v / 10 %.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "reports/LedCheck.h"
#include "tests/native/reports/DailyTableText.h"
#include "trend/Trend.h"

namespace {

using namespace reports;
using namespace trend;
using namespace dailytext;

// X0..X3 as in the header comment, one cell per day ("" for a day without X).
std::vector<Row> Balanced(const std::vector<int>& v) {
    std::vector<Row> rows{{"X0", {}}, {"X1", {}}, {"X2", {}}, {"X3", {}}};
    for (const int x : v) {
        const bool bDark = x < 0;
        rows[0].cells.push_back(bDark ? "" : std::to_string(x));
        rows[1].cells.push_back(bDark ? "" : std::to_string(2000 - x));
        rows[2].cells.push_back(bDark ? "" : "1000");
        rows[3].cells.push_back(bDark ? "" : "1000");
    }
    return rows;
}

TableTrend Trend(const std::string& text, TrendOptions options = {}) {
    return ComputeTrend(ParseDailyTable(text), options);
}

// Relative levels 60, 58, -, 54, 52 on 1, 2, (3 missing), 4, 5 May: a line of
// -2 % a day by the calendar (-2.8 if the gap were ignored), 52 on the last day,
// so 33 % is 19 / 2 = 9.5 days away. X1 climbs by 2 a day.
TEST(Trend, SlopeByCalendarDayAndCrossing) {
    const std::string text =
        Table({"2013:05:01", "2013:05:02", "2013:05:04", "2013:05:05"}, Balanced({600, 580, 540, 520}));
    struct Case {
        double horizon;
        unsigned flags;
    } cases[] = {{30, kFlagCrossing}, {9.5, kFlagCrossing}, {9.4, 0}};
    for (const Case& c : cases) {
        TrendOptions options;
        options.horizonDays = c.horizon;
        const TableTrend t = Trend(text, options);
        const ReceiverTrend& x0 = t.x.receivers[0];
        EXPECT_NEAR(x0.slope, -2.0, 1e-9);
        EXPECT_NEAR(x0.fittedLast, 52.0, 1e-9);
        EXPECT_NEAR(x0.daysToThreshold, 9.5, 1e-9);
        EXPECT_DOUBLE_EQ(x0.latestPercent, 52.0);
        EXPECT_EQ(x0.latestValue, 520u);
        EXPECT_EQ(x0.flags, c.flags) << c.horizon;
        EXPECT_NEAR(t.x.receivers[1].slope, 2.0, 1e-9);
        EXPECT_TRUE(std::isnan(t.x.receivers[1].daysToThreshold));  // rising: never
        EXPECT_EQ(t.nFlagged, c.flags ? 1u : 0u);
    }
}

// 20 days; with --days 14 the window is days 7..20. Its first seven levels are
// 90 10 80 20 70 30 60 (median 60), its last seven 44 plus noise around it
// (median 44, 45 or 46): 26.7 % below 60 is dropped, exactly 25 % and 23.3 %
// are not. Days 1..6 at 5 % would pull the first week's median down if the
// window ignored --days.
TEST(Trend, MedianWindowsAndDrop) {
    for (const int last : {44, 45, 46}) {
        std::vector<int> v(6, 50);
        for (const int p : {90, 10, 80, 20, 70, 30, 60}) v.push_back(p * 10);
        for (const int p : {last, 99, 2, last, 98, 1, last}) v.push_back(p * 10);
        TrendOptions options;
        options.days = 14;
        options.horizonDays = 0;
        const ReceiverTrend x0 = Trend(Table(Dates(1, 20), Balanced(v)), options).x.receivers[0];
        EXPECT_EQ(x0.nDays, 14u);
        EXPECT_EQ(ParseDailyTable(Table(Dates(1, 20), Balanced(v))).days[x0.firstDay].date, "2013:05:07");
        EXPECT_DOUBLE_EQ(x0.firstWeekMedian, 60.0);
        EXPECT_DOUBLE_EQ(x0.lastWeekMedian, last);
        EXPECT_EQ((x0.flags & kFlagDropped) != 0, last == 44) << last;
        if (last != 45) continue;
        options.dropPercent = 24.99;  // just below the 25 % drop
        EXPECT_EQ(Trend(Table(Dates(1, 20), Balanced(v)), options).x.receivers[0].flags & kFlagDropped, kFlagDropped);
    }
    // A window of an even number of days: the mean of the two middle levels (60 58 54 52: 56).
    const ReceiverTrend even = Trend(Table(Dates(1, 4), Balanced({600, 580, 540, 520}))).x.receivers[0];
    EXPECT_DOUBLE_EQ(even.firstWeekMedian, 56.0);
    EXPECT_DOUBLE_EQ(even.lastWeekMedian, 56.0);
}

// The LED check's average is the sum over the nonzero values, cut to a whole
// number: X0 = 330, X1 = 1672, X2 = 0 gives 2002 / 2 = 1001, a cutline of
// 330 (330.33 cut), so 330 is not below although 330 / 1001 is 32.97 %; 329
// is. A receiver at 0 on every day is dead, flagged and not trended.
TEST(Trend, BelowAndDeadFollowTheLedCheck) {
    for (const int x0 : {330, 329}) {
        const std::string text = Table(Dates(1, 2), {{"X0", {std::to_string(x0), std::to_string(x0)}},
                                                     {"X1", {std::to_string(2002 - x0), std::to_string(2002 - x0)}},
                                                     {"X2", {"0", "0"}}});
        const TableTrend t = Trend(text);
        EXPECT_DOUBLE_EQ(t.x.average[1], 1001.0);
        EXPECT_NEAR(t.x.receivers[0].latestPercent, 100.0 * x0 / 1001, 1e-9);
        EXPECT_EQ(t.x.receivers[0].flags & kFlagBelow, x0 == 329 ? kFlagBelow : 0u) << x0;
        EXPECT_EQ(t.x.receivers[2].flags, kFlagDead);
        EXPECT_EQ(t.x.receivers[2].nDays, 2u);
    }
}

// A dark axis day (empty cells, or only zeros) is a gap, not fewer rows; rows
// that appear later are a change; a receiver is trended over its own days.
TEST(Trend, GapsAndRowsThatComeAndGo) {
    std::vector<Row> rows = Balanced({600, -1, 580, 560, 540});
    rows[0].cells[3] = rows[1].cells[3] = rows[2].cells[3] = rows[3].cells[3] = "0";  // 4 May summed to 0
    rows.push_back({"X4", {"", "", "", "", "1000"}});
    rows.push_back({"X5", {"", "", "", "", "1000"}});
    const TableTrend t = Trend(Table(Dates(1, 5), rows));
    // 5 May: 540 + 1460 + 4 * 1000 = 6000 over 6 receivers.
    EXPECT_EQ(t.x.average, (std::vector<double>{1000, 0, 1000, 0, 1000}));
    const ReceiverTrend& x0 = t.x.receivers[0];
    EXPECT_EQ(x0.nDays, 3u);               // 1, 3 and 5 May
    EXPECT_NEAR(x0.slope, -1.5, 1e-9);     // 60, 58, 54 on days 0, 2, 4
    ASSERT_EQ(t.x.rowChanges.size(), 1u);  // 4 May's zeros count as its cells: 4 -> 6 on 5 May
    EXPECT_EQ(t.x.rowChanges[0].before, 4u);
    EXPECT_EQ(t.x.rowChanges[0].after, 6u);
    EXPECT_EQ(t.x.rowChanges[0].day, 4u);
    EXPECT_EQ(t.x.receivers[4].nDays, 1u);
    EXPECT_TRUE(t.y.receivers.empty());
}

// One day: levels and medians but no slope, so nothing is crossing; below still works.
TEST(Trend, OneDayOnly) {
    const TableTrend t = Trend(Table({"2013:05:01"}, Balanced({340})));  // X0 at 34 %, just above 33
    const ReceiverTrend& x0 = t.x.receivers[0];
    EXPECT_TRUE(std::isnan(x0.slope));
    EXPECT_TRUE(std::isnan(x0.daysToThreshold));
    EXPECT_DOUBLE_EQ(x0.firstWeekMedian, 34.0);
    EXPECT_EQ(x0.flags, 0u);
    TrendOptions options;
    options.thresholdPercent = 35;
    EXPECT_EQ(Trend(Table({"2013:05:01"}, Balanced({340})), options).x.receivers[0].flags, kFlagBelow);
}

// 10,000 days (27 years) of four receivers: X0 steps from 50 % to 40 % a day
// before the end. The window and the figures only see the last 30 days.
TEST(Trend, TenThousandDays) {
    constexpr int kDays = 10000;
    std::vector<int> v(kDays, 500);
    v.back() = 400;
    std::vector<std::string> dates;
    for (int d = 0; d < kDays; ++d) dates.push_back(TableDateText(15000 + d));
    const TableTrend t = Trend(Table(dates, Balanced(v)));
    const ReceiverTrend& x0 = t.x.receivers[0];
    EXPECT_EQ(x0.nDays, 30u);
    EXPECT_EQ(x0.firstDay, kDays - 30u);
    EXPECT_DOUBLE_EQ(x0.lastWeekMedian, 50.0);
    // Levels 50 on days 0..28, 40 on day 29: sum((x - 14.5)^2) = 30 (30^2 - 1) / 12 = 2247.5 and
    // sum((x - 14.5) y) = -10 (29 - 14.5), since the 50s add up to nothing around the mean.
    EXPECT_NEAR(x0.slope, -10.0 * 14.5 / 2247.5, 1e-9);
}

// "below" on the latest day is the LED check's own verdict on that day's
// sample: the same average (a whole quotient, then float), the same cutline,
// the same strict comparison at the line.
TEST(Trend, BelowIsWhatTheLedCheckListsOnTheLatestDay) {
    const std::vector<std::vector<std::uint32_t>> days = {
        {330, 1672, 0},  // average 1001, cutline 330: 330 stays
        {329, 1673, 0},  // 329 is listed
        // A whole average of 33554433 is 33554432 as a float: at 99 % the
        // cutline is 33218887, so 33218887 stays (33218888 unrounded).
        {33218887, 33722206, 33722206},
        {4294967294u, 4294967294u, 1},  // the largest values a table holds
        {0, 0, 40},                     // one nonzero receiver: the others at 0 are listed
    };
    for (const int threshold : {1, 33, 99}) {
        for (const std::vector<std::uint32_t>& sample : days) {
            LedCheckInput input;
            input.nThresholdPercent = threshold;
            input.x.pSamples = sample.data();
            input.x.nSamples = sample.size();
            input.x.nCellCount = static_cast<unsigned>(sample.size());
            const LedAxisResult led = AnalyseLedCheck(input).x;

            std::vector<Row> rows;
            for (std::size_t i = 0; i < sample.size(); ++i)
                rows.push_back({"X" + std::to_string(i), {std::to_string(sample[i])}});
            TrendOptions options;
            options.thresholdPercent = threshold;
            const TableTrend t = Trend(Table({"2013:05:01"}, rows), options);
            EXPECT_EQ(t.x.average[0], static_cast<double>(led.fAverage));
            std::vector<long long> below;
            for (const ReceiverTrend& r : t.x.receivers)
                if (r.flags & kFlagBelow || (r.flags & kFlagDead && led.nCutline > 0)) below.push_back(r.index + 1);
            std::vector<long long> listed;
            for (const LedFinding& f : led.low) listed.push_back(f.nReceiver);
            EXPECT_EQ(below, listed) << threshold << "% of " << sample[0] << ", " << sample[1];
        }
    }
}

}  // namespace
