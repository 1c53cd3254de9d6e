#include "trend/Trend.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "reports/LedCheck.h"

namespace trend {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kWeek = 7;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ReceiverTrend TrendOf(char axisName, const TableRow& row, const std::vector<double>& average,
                      const std::vector<TableDay>& days, const TrendOptions& options) {
    ReceiverTrend r;
    r.axis = axisName;
    r.index = row.index;
    r.slope = r.fittedLast = r.daysToThreshold = kNaN;
    // The window: the last N days on which the receiver has a value and its axis an average.
    std::vector<const DayValue*> window;
    const std::size_t nWanted = static_cast<std::size_t>(std::max(options.days, 1));
    for (auto it = row.values.rbegin(); it != row.values.rend() && window.size() < nWanted; ++it)
        if (average[it->day] > 0) window.push_back(&*it);
    std::reverse(window.begin(), window.end());
    r.nDays = window.size();
    if (window.empty()) return r;

    r.firstDay = window.front()->day;
    r.lastDay = window.back()->day;
    r.latestValue = window.back()->value;
    r.latestAverage = average[r.lastDay];
    if (std::all_of(window.begin(), window.end(), [](const DayValue* v) { return v->value == 0; })) {
        r.flags = kFlagDead;
        return r;
    }

    const std::size_t n = window.size();
    std::vector<double> level(n), x(n);
    double meanX = 0, meanY = 0;
    for (std::size_t i = 0; i < n; ++i) {
        level[i] = 100.0 * window[i]->value / average[window[i]->day];
        x[i] = static_cast<double>(days[window[i]->day].number);
        meanX += x[i];
        meanY += level[i];
    }
    r.latestPercent = level.back();
    const auto nWeek = static_cast<std::ptrdiff_t>(std::min(kWeek, n));
    r.firstWeekMedian = Median({level.begin(), level.begin() + nWeek});
    r.lastWeekMedian = Median({level.end() - nWeek, level.end()});

    const double threshold = options.thresholdPercent;
    if (n >= 2) {
        // Least squares over calendar days, centred for precision.
        meanX /= static_cast<double>(n);
        meanY /= static_cast<double>(n);
        double sxx = 0, sxy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sxx += (x[i] - meanX) * (x[i] - meanX);
            sxy += (x[i] - meanX) * (level[i] - meanY);
        }
        r.slope = sxy / sxx;
        r.fittedLast = meanY + r.slope * (x.back() - meanX);
        if (r.fittedLast <= threshold) r.daysToThreshold = 0;
        else if (r.slope < 0) r.daysToThreshold = (r.fittedLast - threshold) / -r.slope;
    }
    // "below" is the LED check's own verdict on the latest day; "crossing" looks ahead of a receiver not yet below.
    const long long cutline = reports::LedCheckCutline(options.thresholdPercent, static_cast<float>(r.latestAverage));
    if (static_cast<long long>(r.latestValue) < cutline) r.flags |= kFlagBelow;
    else if (!std::isnan(r.daysToThreshold) && r.daysToThreshold <= options.horizonDays) r.flags |= kFlagCrossing;
    if ((r.firstWeekMedian - r.lastWeekMedian) * 100.0 > options.dropPercent * r.firstWeekMedian)
        r.flags |= kFlagDropped;
    return r;
}

}  // namespace

TableTrend ComputeTrend(const DailyTable& table, const TrendOptions& options) {
    TableTrend result;
    const std::size_t nDays = table.days.size();
    for (const auto& [pAxis, pTrend] : {std::pair{&table.x, &result.x}, std::pair{&table.y, &result.y}}) {
        const TableAxis& axis = *pAxis;
        AxisTrend& trend = *pTrend;
        trend.name = axis.name;

        std::vector<std::uint64_t> sum(nDays, 0), nonzero(nDays, 0);
        for (const TableRow& row : axis.rows)
            for (const DayValue& v : row.values) {
                sum[v.day] += v.value;
                nonzero[v.day] += v.value != 0;
            }
        trend.average.resize(nDays);
        for (std::size_t d = 0; d < nDays; ++d) trend.average[d] = reports::LedCheckAverage(sum[d], nonzero[d]);

        for (std::size_t d = 0; d < nDays; ++d) {
            if (axis.avr[d] == kNoValue) continue;
            if (trend.avrFirstDay == SIZE_MAX) trend.avrFirstDay = d;
            trend.avrLastDay = d;
        }
        std::uint32_t nPrevious = 0;
        for (std::size_t d = 0; d < nDays; ++d) {
            const std::uint32_t n = axis.cells[d];
            if (n == 0) continue;  // dark that day: no rows, not fewer rows
            if (nPrevious != 0 && n != nPrevious) trend.rowChanges.push_back({d, nPrevious, n});
            nPrevious = n;
        }

        trend.receivers.reserve(axis.rows.size());
        for (const TableRow& row : axis.rows) {
            trend.receivers.push_back(TrendOf(axis.name, row, trend.average, table.days, options));
            if (trend.receivers.back().flags) ++trend.nFlagged;
        }
        result.nFlagged += trend.nFlagged;
    }
    return result;
}

std::string FlagText(unsigned flags) {
    static constexpr std::pair<unsigned, const char*> kNames[] = {
        {kFlagBelow, "below"}, {kFlagCrossing, "crossing"}, {kFlagDropped, "dropped"}, {kFlagDead, "dead"}};
    std::string text;
    for (const auto& [flag, name] : kNames) {
        if (!(flags & flag)) continue;
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

}  // namespace trend
