#include "reports/DailyTableReader.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "reports/DailyTable.h"

namespace reports {

namespace {

constexpr std::uint32_t kUndated = UINT32_MAX;

using Label = DailyLabel;
using Entry = DailyRow;

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
    const char* tab = static_cast<const char*>(std::memchr(p, kDailyCellSeparator, line.size()));
    for (std::size_t column = 1; tab != nullptr; ++column) {
        const char* const start = tab + 1;
        tab = static_cast<const char*>(std::memchr(start, kDailyCellSeparator, static_cast<std::size_t>(end - start)));
        f(column, std::string_view(start, static_cast<std::size_t>((tab ? tab : end) - start)));
    }
}

}  // namespace

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
        const std::string_view line = NextDailyLine(text, pos);
        const Entry entry = ParseDailyLabel(line.substr(0, line.find(kDailyCellSeparator)));
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
                if (bDate && number <= latestDay) dated.push_back({number, column, cell});
                else if (cell.empty()) ++table.nUndatedColumns;
                else table.badDates.push_back({column + 1, std::string(cell), bDate});
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
            default: bFirst = (bX ? seenX : seenY).insert(line.entry.index).second; break;
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

}  // namespace reports
