#include "trend/TrendOutputs.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "reports/LedCheck.h"
#include "text/Escape.h"

namespace trend {

using text::CsvField;

std::string FormatText(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text, n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

namespace {

// A figure that rounds to zero is shown as 0, not -0.
double Shown(double value, int decimals) { return std::fabs(value) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : value; }

// A figure that may not exist: "" for NaN.
std::string Number(double value, int decimals) {
    return std::isnan(value) ? std::string() : FormatText("%.*f", decimals, Shown(value, decimals));
}

std::size_t ReceiverCount(const TrendedTable& t) { return t.trend.x.receivers.size() + t.trend.y.receivers.size(); }

const TableAxis& AxisOf(const DailyTable& table, const AxisTrend& axis) { return axis.name == 'X' ? table.x : table.y; }

std::string AvrText(const TrendedTable& t, const AxisTrend& axis) {
    const TableAxis& rows = AxisOf(t.table, axis);
    std::string text = FormatText("  %c average (%cAvr) ", axis.name, axis.name);
    if (axis.avrFirstDay == SIZE_MAX) return text + "none\n";
    const std::uint32_t first = rows.avr[axis.avrFirstDay], last = rows.avr[axis.avrLastDay];
    text += FormatText("%u on %s, %u on %s", first, t.table.days[axis.avrFirstDay].date.c_str(), last,
                       t.table.days[axis.avrLastDay].date.c_str());
    if (first > 0 && axis.avrLastDay != axis.avrFirstDay)
        text += FormatText(" (%+.1f %%)", (static_cast<double>(last) - first) * 100.0 / first);
    return text + "\n";
}

std::string RowChangeText(const TrendedTable& t, const AxisTrend& axis) {
    if (axis.rowChanges.empty()) return {};
    std::string text = FormatText("  warning: the %c rows change over time (", axis.name);
    const std::size_t nShown = std::min<std::size_t>(axis.rowChanges.size(), 3);
    for (std::size_t i = 0; i < nShown; ++i) {
        const AxisTrend::RowChange& c = axis.rowChanges[i];
        text += FormatText("%s%u -> %u receivers on %s", i ? ", " : "", c.before, c.after,
                           t.table.days[c.day].date.c_str());
    }
    if (axis.rowChanges.size() > nShown) text += FormatText(", %zu more changes", axis.rowChanges.size() - nShown);
    return text + "): another frame may have written into this table\n";
}

std::string ReceiverLine(const TrendedTable& t, const ReceiverTrend& r) {
    std::string to = "-";
    if (r.daysToThreshold == 0) to = "now";
    else if (!std::isnan(r.daysToThreshold)) to = FormatText("%.1f days", r.daysToThreshold);
    const std::string slope = std::isnan(r.slope) ? std::string("-") : FormatText("%+.2f %%", Shown(r.slope, 2));
    std::string line = FormatText("  %c%-6u R%-6u %-18s %7u %7.1f %% %7.1f %% %7.1f %% %10s %10s", r.axis, r.index,
                                  r.index + 1, FlagText(r.flags).c_str(), r.latestValue, r.latestPercent,
                                  r.firstWeekMedian, r.lastWeekMedian, slope.c_str(), to.c_str());
    if (r.lastDay + 1 != t.table.days.size()) line += "  (latest " + t.table.days[r.lastDay].date + ")";
    return line + "\n";
}

}  // namespace

TableName ParseTableName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    TableName result{std::string(name), 0};
    const std::size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos || underscore == 0) return result;
    const std::string_view digits = name.substr(underscore + 1);
    if (digits.empty() || digits.size() > 9 || digits[0] == '0') return result;
    int row = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return result;
        row = row * 10 + (c - '0');
    }
    return {std::string(name.substr(0, underscore)), row};
}

std::string TrendReport(const TrendedTable& t, const TrendOptions& options) {
    const DailyTable& table = t.table;
    std::string text = t.path + ": frame \"" + t.name.frame + "\"";
    if (t.name.row > 0) text += FormatText(", row %d", t.name.row);
    text += "\n";
    const std::size_t nDays = table.days.size();
    const long long span = table.days.back().number - table.days.front().number + 1;
    text += FormatText("  %zu %s from %s to %s (%lld calendar %s); each receiver over its last %d days with a value\n",
                       nDays, nDays == 1 ? "day" : "days", table.days.front().date.c_str(),
                       table.days.back().date.c_str(), span, span == 1 ? "day" : "days", options.days);
    text += AvrText(t, t.trend.x) + AvrText(t, t.trend.y);
    text += RowChangeText(t, t.trend.x) + RowChangeText(t, t.trend.y);
    constexpr std::size_t kNamed = 5;
    for (std::size_t i = 0; i < std::min(table.badDates.size(), kNamed); ++i) {
        const DailyTable::BadDate& bad = table.badDates[i];
        const std::string date = bad.text.size() > 24 ? bad.text.substr(0, 24) + "..." : bad.text;
        text += "  warning: column " + std::to_string(bad.column) + " skipped: its date \"" + date + "\" " +
                (bad.bAhead ? "lies ahead of today" : "is no calendar date (YYYY:MM:DD)") + "\n";
    }
    if (table.badDates.size() > kNamed)
        text +=
            "  warning: " + std::to_string(table.badDates.size() - kNamed) + " more columns skipped for their dates\n";
    std::string skipped;
    const auto skip = [&](std::size_t n, const char* one, const char* many) {
        if (n) skipped += FormatText("%s%zu %s", skipped.empty() ? "" : ", ", n, n == 1 ? one : many);
    };
    skip(table.nGarbageCells, "cell that is no number", "cells that are no number");
    skip(table.nUndatedColumns, "column without a date", "columns without a date");
    skip(table.nRepeatedColumns, "earlier column of a date given twice", "earlier columns of dates given twice");
    if (!skipped.empty()) text += "  skipped: " + skipped + "\n";

    text += FormatText("  threshold %d %%, horizon %g days, drop %g %%: ", options.thresholdPercent,
                       options.horizonDays, options.dropPercent);
    if (t.trend.nFlagged == 0) return text + FormatText("nothing flagged among %zu receivers\n", ReceiverCount(t));
    text += FormatText("%zu of %zu receivers flagged\n", t.trend.nFlagged, ReceiverCount(t));

    std::string dead;
    bool bHeader = false;
    for (const AxisTrend* axis : {&t.trend.x, &t.trend.y}) {
        for (const ReceiverTrend& r : axis->receivers) {
            if (r.flags & kFlagDead) {
                dead += FormatText("%s%c%u (R%u)", dead.empty() ? "" : ", ", r.axis, r.index, r.index + 1);
                continue;
            }
            if (!r.flags) continue;
            if (!bHeader) {
                text += FormatText("  %-7s %-7s %-18s %7s %9s %9s %9s %10s %10s\n", "label", "R", "reason", "latest",
                                   "level", "1st week", "last week", "slope/day",
                                   FormatText("to %d %%", options.thresholdPercent).c_str());
                bHeader = true;
            }
            text += ReceiverLine(t, r);
        }
    }
    if (!dead.empty()) text += "  dead (0 on every day of their window): " + dead + "\n";
    return text;
}

std::string TrendCsv(const std::vector<TrendedTable>& tables, const TrendOptions& options) {
    std::string csv = "\xEF\xBB\xBF";
    csv +=
        "table,frame,row,axis,label,receiver,status,days,first_date,last_date,latest_value,axis_average,cutline,"
        "latest_pct,first_week_median_pct,last_week_median_pct,slope_pct_per_day,fitted_last_pct,"
        "days_to_threshold,threshold_pct,avr_first_date,avr_first,avr_last_date,avr_last,rows_change\r\n";
    for (const TrendedTable& t : tables) {
        for (const AxisTrend* axis : {&t.trend.x, &t.trend.y}) {
            const TableAxis& rows = AxisOf(t.table, *axis);
            const bool bAvr = axis->avrFirstDay != SIZE_MAX;
            const std::string avr =
                bAvr ? t.table.days[axis->avrFirstDay].date + "," + std::to_string(rows.avr[axis->avrFirstDay]) + "," +
                           t.table.days[axis->avrLastDay].date + "," + std::to_string(rows.avr[axis->avrLastDay])
                     : std::string(",,,");
            const std::string head = CsvField(t.path) + "," + CsvField(t.name.frame) + "," +
                                     (t.name.row > 0 ? std::to_string(t.name.row) : std::string()) + "," + axis->name;
            for (const ReceiverTrend& r : axis->receivers) {
                std::string line = head + FormatText(",%c%u,%u,", r.axis, r.index, r.index + 1);
                if (r.nDays == 0) {
                    line += "no value,0,,,,,,,,,,,";  // empty up to days_to_threshold
                } else {
                    const bool bTrended = !(r.flags & kFlagDead);
                    const auto fAverage = static_cast<float>(r.latestAverage);  // the check's own float
                    line += CsvField(r.flags ? FlagText(r.flags) : "ok") + FormatText(",%zu,", r.nDays) +
                            t.table.days[r.firstDay].date + "," + t.table.days[r.lastDay].date +
                            FormatText(",%u,%.0f,%lld,", r.latestValue, r.latestAverage,
                                       reports::LedCheckCutline(options.thresholdPercent, fAverage));
                    if (bTrended)
                        line += Number(r.latestPercent, 2) + "," + Number(r.firstWeekMedian, 2) + "," +
                                Number(r.lastWeekMedian, 2) + "," + Number(r.slope, 3) + "," + Number(r.fittedLast, 2) +
                                "," + Number(r.daysToThreshold, 1);
                    else line += ",,,,,";
                }
                line += FormatText(",%d,", options.thresholdPercent) + avr + "," +
                        (axis->rowChanges.empty() ? "no" : "yes");
                csv += line + "\r\n";
            }
        }
    }
    return csv;
}

}  // namespace trend
