// A daily table read back for the trend: every day's values of every row, by
// date. It reads what the daily save writes (reports/DailyTable.h, the home of
// the format) and what editors and older versions leave in such a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reports {

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
// their labels (ParseDailyLabel: exactly as written, so "X07" or "x7" are
// foreign); other lines, and a label seen again further down, are skipped.
// Lines end as the save reads them (NextDailyLine). A column is a day when its
// Date cell is a valid date (ParseTableDate); a date in several columns takes
// its last one; a date after `latestDay` (a clock set wrong, a typing slip
// such as 9999:12:31) is no day either. Days are sorted by date. A leading
// UTF-8 byte-order mark (editors and spreadsheets write one) is skipped. A
// value cell holds decimal digits below 2^32-1; anything else non-empty is
// garbage and holds no value.
struct DailyTable {
    std::vector<TableDay> days;
    TableAxis x, y;
    bool bDateRow = false;
    std::size_t nUndatedColumns = 0;  // an empty Date cell: skipped whole
    // Skipped whole too, named in the report: a date cell that holds no
    // calendar date ("2013:13:01") or a date after latestDay.
    struct BadDate {
        std::size_t column;  // as a spreadsheet counts it: the labels are column 1
        std::string text;
        bool bAhead;  // a calendar date, but after latestDay
    };
    std::vector<BadDate> badDates;
    std::size_t nRepeatedColumns = 0;  // an earlier column of a date seen again
    std::size_t nGarbageCells = 0;     // in dated columns of our rows
    std::size_t nForeignLines = 0;     // blank lines not counted
};

// Linear in the size of the text.
DailyTable ParseDailyTable(std::string_view text, std::int64_t latestDay = INT64_MAX);

}  // namespace reports
