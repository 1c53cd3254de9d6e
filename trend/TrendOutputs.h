// What the trend command gives a technician: the report per table, the CSV for
// a spreadsheet and the SVG picture. Portable, so every byte is tested natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "trend/Trend.h"

namespace trend {

// The daily save names a table "<section>_<row>.txt": the frame and its device-list row + 1.
struct TableName {
    std::string frame;  // the file name without folder and extension when it has no "_<row>"
    int row = 0;        // 0 when the name holds none
};
TableName ParseTableName(std::string_view path);

struct TrendedTable {
    std::string path;
    TableName name;
    DailyTable table;
    TableTrend trend;
};

// The stdout report of one table, lines ended by "\n".
std::string TrendReport(const TrendedTable& table, const TrendOptions& options);

// One row per receiver and table (RFC 4180: CR LF, quoted where needed), UTF-8
// with a byte-order mark so that spreadsheets take the frame names as UTF-8.
std::string TrendCsv(const std::vector<TrendedTable>& tables, const TrendOptions& options);

// One self-contained SVG: a panel per table and axis with the axis average
// over the days, the cutline and the values of the flagged receivers.
std::string TrendSvg(const std::vector<TrendedTable>& tables, const TrendOptions& options);

// printf into a string of at most 511 bytes, for the figures of the outputs.
// MinGW's C++ library formats as C99 does (%zu included); plain "printf"
// would check against the Microsoft runtime's rules instead.
#if defined(__MINGW32__)
__attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
FormatText(const char* format, ...);

}  // namespace trend
