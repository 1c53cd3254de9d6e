#include "check/Trend.h"

#include "reports/DailyTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <utility>

namespace check {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kWeek = 7;
constexpr std::uint32_t kUndated = UINT32_MAX;

using reports::ParseDailyLabel;
using Label = reports::DailyLabel;
using Entry = reports::DailyRow;

// Decimal digits only, below kNoValue; false for anything else.
bool ParseValue(std::string_view cell, std::uint32_t& value) {
    if (cell.empty() || cell.size() > 10) return false;
    std::uint64_t v = 0;
    for (const char c : cell) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v >= kNoValue) return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

// Calls f(column, cell) for every tab-separated field after the label.
template <typename F>
void ForEachCell(std::string_view line, F&& f) {
    const char* p = line.data();
    const char* const end = p + line.size();
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', line.size()));
    for (std::size_t column = 1; tab != nullptr; ++column) {
        const char* const start = tab + 1;
        tab = static_cast<const char*>(std::memchr(start, '\t', static_cast<std::size_t>(end - start)));
        f(column, std::string_view(start, static_cast<std::size_t>((tab ? tab : end) - start)));
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

bool ParseTableDate(std::string_view text, std::int64_t& number) {
    if (text.size() != 10 || text[4] != ':' || text[7] != ':') return false;
    unsigned parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (std::size_t k = starts[i]; k < starts[i] + lengths[i]; ++k) {
            if (text[k] < '0' || text[k] > '9') return false;
            parts[i] = parts[i] * 10 + static_cast<unsigned>(text[k] - '0');
        }
    }
    const unsigned year = parts[0], month = parts[1], day = parts[2];
    static constexpr unsigned kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool bLeap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kMonthDays[month - 1] + (month == 2 && bLeap ? 1 : 0)) return false;
    number = DaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
    return true;
}

std::string TableDateText(std::int64_t number) {
    // The inverse of DaysFromCivil.
    const std::int64_t z = number + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    char text[72];
    std::snprintf(text, sizeof text, "%04lld:%02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day));
    return text;
}

DailyTable ParseDailyTable(std::string_view text, std::int64_t latestDay) {
    DailyTable table;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    table.x.name = 'X';
    table.y.name = 'Y';

    struct Line {
        std::string_view text;
        Entry entry;
    };
    std::vector<Line> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const char* const pLine = text.data() + pos;
        const std::size_t nRest = text.size() - pos;
        const auto* pLf = static_cast<const char*>(std::memchr(pLine, '\n', nRest));
        std::size_t nLength = pLf ? static_cast<std::size_t>(pLf - pLine) : nRest;
        if (const auto* pCr = static_cast<const char*>(std::memchr(pLine, '\r', nLength)))
            nLength = static_cast<std::size_t>(pCr - pLine);
        pos += nLength + 1;
        if (pos < text.size() && text[pos - 1] == '\r' && text[pos] == '\n') ++pos;
        const std::string_view line(pLine, nLength);
        const Entry entry = ParseDailyLabel(line.substr(0, line.find('\t')));
        if (entry.label == Label::kOther) {
            if (!line.empty()) ++table.nForeignLines;
            continue;
        }
        lines.push_back({line, entry});
    }

    // The Date row decides which columns are days; a date's last column wins.
    std::vector<std::uint32_t> dayOfColumn;
    {
        const auto dateLine =
            std::find_if(lines.begin(), lines.end(), [](const Line& l) { return l.entry.label == Label::kDate; });
        if (dateLine != lines.end()) {
            table.bDateRow = true;
            struct Dated {
                std::int64_t number;
                std::size_t column;
                std::string_view text;
            };
            std::vector<Dated> dated;
            ForEachCell(dateLine->text, [&](std::size_t column, std::string_view cell) {
                std::int64_t number = 0;
                const bool bDate = ParseTableDate(cell, number);
                if (bDate && number <= latestDay)
                    dated.push_back({number, column, cell});
                else if (cell.empty())
                    ++table.nUndatedColumns;
                else
                    table.badDates.push_back({column + 1, std::string(cell), bDate});
                dayOfColumn.push_back(kUndated);  // dayOfColumn[column - 1]
            });
            std::stable_sort(dated.begin(), dated.end(),
                             [](const Dated& a, const Dated& b) { return a.number < b.number; });
            for (std::size_t i = 0; i < dated.size(); ++i) {
                if (i + 1 < dated.size() && dated[i + 1].number == dated[i].number) {
                    ++table.nRepeatedColumns;
                    continue;
                }
                dayOfColumn[dated[i].column - 1] = static_cast<std::uint32_t>(table.days.size());
                table.days.push_back({std::string(dated[i].text), dated[i].number});
            }
        }
    }
    const std::size_t nDays = table.days.size();
    // Columns in date order (the usual case) leave every row's cells in date order.
    std::uint32_t previous = 0;
    bool bColumnsInOrder = true;
    for (const std::uint32_t day : dayOfColumn) {
        if (day == kUndated) continue;
        bColumnsInOrder = bColumnsInOrder && day >= previous;
        previous = day;
    }

    for (TableAxis* axis : {&table.x, &table.y}) {
        axis->avr.assign(nDays, kNoValue);
        axis->cells.assign(nDays, 0);
    }
    std::unordered_set<std::uint32_t> seenX, seenY;
    bool bSeenDate = false;
    for (const Line& line : lines) {
        const Label label = line.entry.label;
        const bool bX = label == Label::kXIndex || label == Label::kXAvr;
        TableAxis& axis = bX ? table.x : table.y;
        bool bFirst = true;
        switch (label) {
        case Label::kDate:
            bFirst = !bSeenDate;
            bSeenDate = true;
            break;
        case Label::kXAvr:
        case Label::kYAvr:
            bFirst = !axis.bAvrRow;
            axis.bAvrRow = true;
            break;
        default:
            bFirst = (bX ? seenX : seenY).insert(line.entry.index).second;
            break;
        }
        if (!bFirst) ++table.nForeignLines;  // a label seen again pairs with nothing
        if (!bFirst || label == Label::kDate) continue;

        const bool bAvr = label == Label::kXAvr || label == Label::kYAvr;
        TableRow row;
        row.index = line.entry.index;
        ForEachCell(line.text, [&](std::size_t column, std::string_view cell) {
            if (column > dayOfColumn.size() || cell.empty()) return;
            const std::uint32_t day = dayOfColumn[column - 1];
            if (day == kUndated) return;
            std::uint32_t value = 0;
            const bool bValue = ParseValue(cell, value);
            if (!bValue) ++table.nGarbageCells;
            if (bAvr) {
                if (bValue) axis.avr[day] = value;
                return;
            }
            ++axis.cells[day];
            if (bValue) row.values.push_back({day, value});
        });
        if (bAvr) continue;
        if (!bColumnsInOrder)
            std::sort(row.values.begin(), row.values.end(),
                      [](const DayValue& a, const DayValue& b) { return a.day < b.day; });
        axis.rows.push_back(std::move(row));
    }
    for (TableAxis* axis : {&table.x, &table.y})
        std::sort(axis->rows.begin(), axis->rows.end(),
                  [](const TableRow& a, const TableRow& b) { return a.index < b.index; });
    return table;
}

double LedCheckAverage(std::uint64_t sum, std::uint64_t nNonzero) {
    if (sum == 0 || nNonzero == 0) return 0.0;
    return static_cast<double>(static_cast<float>(sum / nNonzero));
}

long long LedCheckCutline(int thresholdPercent, double average) {
    return static_cast<long long>(static_cast<double>(thresholdPercent) * average / 100.0);
}

namespace {

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
        if (r.fittedLast <= threshold)
            r.daysToThreshold = 0;
        else if (r.slope < 0)
            r.daysToThreshold = (r.fittedLast - threshold) / -r.slope;
    }
    // "below" is the LED check's own verdict on the latest day; "crossing" looks ahead of a receiver not yet below.
    if (static_cast<long long>(r.latestValue) < LedCheckCutline(options.thresholdPercent, r.latestAverage))
        r.flags |= kFlagBelow;
    else if (!std::isnan(r.daysToThreshold) && r.daysToThreshold <= options.horizonDays)
        r.flags |= kFlagCrossing;
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
        for (std::size_t d = 0; d < nDays; ++d) trend.average[d] = LedCheckAverage(sum[d], nonzero[d]);

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

}  // namespace check
