// The trend of a frame's daily table: which receivers are getting weaker, and
// when they will fail the LED check. Portable: the table is read from its text
// and every figure is worked out in memory, so the math is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// An XAvr/YAvr cell that holds no value.
constexpr std::uint32_t kNoValue = UINT32_MAX;

struct TableDay {
    std::string date;         // "YYYY:MM:DD" as the table writes it
    std::int64_t number = 0;  // days since 1970-01-01, so gaps count as time
};

struct DayValue {
    std::uint32_t day;  // index into DailyTable::days
    std::uint32_t value;
};

struct TableRow {
    std::uint32_t index = 0;       // 0-based receiver, from the label
    std::vector<DayValue> values;  // the days it has a value on, in date order
};

struct TableAxis {
    char name = 'X';
    std::vector<TableRow> rows;  // by index; only cells with a value are kept
    bool bAvrRow = false;
    std::vector<std::uint32_t> avr;    // the XAvr/YAvr row per day, kNoValue for none
    std::vector<std::uint32_t> cells;  // non-empty cells of the index rows per day
};

// A daily table as this program and earlier versions write it: rows paired by
// their labels "Date", "X0".., "XAvr", "Y0".., "YAvr" (exactly as written, so
// "X07" or "x7" are foreign); other lines, and a label seen again further
// down, are skipped. Lines end at CR LF, LF or a lone CR. A column is a day
// when its Date cell is a valid "YYYY:MM:DD"; a date in several columns takes
// its last one; a date after `latestDay` (a clock set wrong, a typing
// slip such as 9999:12:31) is no day either. Days are sorted by date. A
// leading UTF-8 byte-order mark (editors and spreadsheets write one) is skipped. A value cell holds decimal digits
// below 2^32-1; anything else non-empty is garbage and holds no value.
struct DailyTable {
    std::vector<TableDay> days;
    TableAxis x, y;
    bool bDateRow = false;
    std::size_t nUndatedColumns = 0;   // an empty Date cell: skipped whole
    // Skipped whole too, named in the report: a date cell that holds no
    // calendar date ("2013:13:01") or a date after latestDay.
    struct BadDate {
        std::size_t column;  // as a spreadsheet counts it: the labels are column 1
        std::string text;
        bool bAhead;         // a calendar date, but after latestDay
    };
    std::vector<BadDate> badDates;
    std::size_t nRepeatedColumns = 0;  // an earlier column of a date seen again
    std::size_t nGarbageCells = 0;     // in dated columns of our rows
    std::size_t nForeignLines = 0;     // blank lines not counted
};

// Linear in the size of the text.
DailyTable ParseDailyTable(std::string_view text, std::int64_t latestDay = INT64_MAX);

// Day number of a valid "YYYY:MM:DD" (month 1-12, day within the month); false otherwise.
bool ParseTableDate(std::string_view text, std::int64_t& number);

// "YYYY:MM:DD" of a day number.
std::string TableDateText(std::int64_t number);

struct TrendOptions {
    int days = 30;              // per receiver: the last N days that have a value
    double horizonDays = 30;    // "crossing" when the threshold is this close
    double dropPercent = 25;    // "dropped" when the last week's median lies this far below the first's
    int thresholdPercent = 33;  // the LED check's share of the axis average
};

enum TrendFlag : unsigned {
    kFlagBelow = 1u,     // latest value under the LED check's cutline
    kFlagCrossing = 2u,  // would reach the threshold within the horizon
    kFlagDropped = 4u,   // last-week median more than the drop below the first-week median
    kFlagDead = 8u,      // 0 on every day of its window: listed, not trended
};

// One receiver over its window: the last N days on which it has a value and
// its axis an average. Relative levels are in % of that day's axis average
// as the LED check computes it. NaN marks a figure that does not exist.
struct ReceiverTrend {
    char axis = 'X';
    std::uint32_t index = 0;
    std::size_t nDays = 0;     // 0: no value on any day, nothing else is set
    std::size_t firstDay = 0;  // index into DailyTable::days
    std::size_t lastDay = 0;
    std::uint32_t latestValue = 0;
    double latestAverage = 0;  // the axis average on the latest day
    double latestPercent = 0;
    double firstWeekMedian = 0;  // of the first min(7, nDays) days of the window
    double lastWeekMedian = 0;   // of the last min(7, nDays) days
    double slope = 0;            // % per calendar day; NaN with one day
    double fittedLast = 0;       // the fitted line on the latest day; NaN with one day
    double daysToThreshold = 0;  // from the fitted line at its slope; 0 there already, NaN never
    unsigned flags = 0;
};

struct AxisTrend {
    char name = 'X';
    std::vector<double> average;           // per day: the LED check's average, 0 when the axis was dark
    std::vector<ReceiverTrend> receivers;  // by index, one per row of the table
    // The XAvr/YAvr row on its first and last day that holds one (SIZE_MAX: none).
    std::size_t avrFirstDay = SIZE_MAX, avrLastDay = SIZE_MAX;
    // Days on which the number of the axis's non-empty cells differs from the
    // previous day the axis had any: receivers appeared or vanished.
    struct RowChange {
        std::size_t day;
        std::uint32_t before, after;
    };
    std::vector<RowChange> rowChanges;
    std::size_t nFlagged = 0;
};

struct TableTrend {
    AxisTrend x, y;
    std::size_t nFlagged = 0;
};

// The LED check's average of one day's axis: the sum over the count of the
// nonzero values (integer division), then float; 0 when no value is nonzero.
double LedCheckAverage(std::uint64_t sum, std::uint64_t nNonzero);

// The LED check's cutline: a value below it is listed as weak.
long long LedCheckCutline(int thresholdPercent, double average);

// Linear in the size of the table.
TableTrend ComputeTrend(const DailyTable& table, const TrendOptions& options);

// "below", "crossing", "dropped", "dead" joined by ", "; empty for none.
std::string FlagText(unsigned flags);

}  // namespace check
