// The trend of a frame's daily table: which receivers are getting weaker, and
// when they will fail the LED check. Portable: every figure is worked out in
// memory from the table as reports/DailyTableReader.h reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reports/DailyTableReader.h"

namespace trend {

using reports::DailyTable;
using reports::DayValue;
using reports::kNoValue;
using reports::TableAxis;
using reports::TableDay;
using reports::TableRow;

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

// Linear in the size of the table.
TableTrend ComputeTrend(const DailyTable& table, const TrendOptions& options);

// "below", "crossing", "dropped", "dead" joined by ", "; empty for none.
std::string FlagText(unsigned flags);

}  // namespace trend
