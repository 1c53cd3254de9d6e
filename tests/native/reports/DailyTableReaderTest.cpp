// The daily-table reader on tables written here by hand: dates, foreign rows,
// line ends and the cells a table may hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "tests/native/reports/DailyTableText.h"

namespace {

using namespace reports;
using namespace dailytext;

TEST(DailyTableReader, DatesAreCalendarDays) {
    std::int64_t n = -1;
    EXPECT_TRUE(ParseTableDate("1970:01:01", n));
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(ParseTableDate("2000:03:01", n));  // 10957 days to 2000-01-01, then 31 + 29
    EXPECT_EQ(n, 11017);
    EXPECT_TRUE(ParseTableDate("2012:02:29", n));
    for (const char* bad : {"2013:02:29", "1900:02:29", "2013:13:01", "2013:04:31", "2013:00:10", "2013-05-01",
                            "2013:5:01", " 2013:05:01", "", "2013:05:01x"})
        EXPECT_FALSE(ParseTableDate(bad, n)) << bad;
    EXPECT_EQ(TableDateText(0), "1970:01:01");
    EXPECT_EQ(TableDateText(11017), "2000:03:01");
    EXPECT_EQ(TableDateText(-1), "1969:12:31");
}

// What a table may hold besides clean rows, each with what must come of it.
TEST(DailyTableReader, ReadsWhatTablesHold) {
    // A second pass on 2 May (its last column counts), columns out of date order,
    // an undated column, LF line ends, garbage cells and foreign or repeated labels.
    const std::string text = Table({"2013:05:04", "2013:05:01", "2013:05:02", "", "2013:5:3", "2013:05:02"},
                                   {{"X0", {"400", "300", "100", "7", "7", "200"}},
                                    {"X0", {"999", "999", "999", "999", "999", "999"}},
                                    {"X07", {"5", "5", "5", "5", "5", "5"}},
                                    {"X1", {"-5", " 400", "1e3", "", "x", "4294967295"}},
                                    {"note", {}},
                                    {"XAvr", {"1", "2", "3", "", "", "4"}}},
                                   "\n");
    const DailyTable table = ParseDailyTable(text);
    ASSERT_EQ(table.days.size(), 3u);
    EXPECT_EQ(table.days[0].date, "2013:05:01");
    EXPECT_EQ(table.days[1].date, "2013:05:02");
    EXPECT_EQ(table.days[2].date, "2013:05:04");
    EXPECT_EQ(table.nRepeatedColumns, 1u);
    EXPECT_EQ(table.nUndatedColumns, 1u);
    ASSERT_EQ(table.badDates.size(), 1u);  // "2013:5:3", column 6 counting the labels
    EXPECT_EQ(table.badDates[0].column, 6u);
    EXPECT_FALSE(table.badDates[0].bAhead);
    EXPECT_EQ(table.nGarbageCells, 3u);  // -5, " 400", 4294967295; the others lie in skipped columns
    EXPECT_EQ(table.nForeignLines, 3u);  // the second X0, X07, note
    ASSERT_EQ(table.x.rows.size(), 2u);
    const std::vector<DayValue>& x0 = table.x.rows[0].values;
    ASSERT_EQ(x0.size(), 3u);  // in date order, 2 May from its last column
    EXPECT_EQ(x0[0].value, 300u);
    EXPECT_EQ(x0[1].value, 200u);
    EXPECT_EQ(x0[2].value, 400u);
    EXPECT_TRUE(table.x.rows[1].values.empty());
    EXPECT_EQ(table.x.avr, (std::vector<std::uint32_t>{2, 4, 1}));
    // CR line ends and a last line without one read alike.
    std::string cr = Table(Dates(1, 2), {{"X0", {"1", "2"}}}, "\r");
    cr.pop_back();
    EXPECT_EQ(ParseDailyTable(cr).x.rows[0].values.size(), 2u);
}

}  // namespace
