// The trend over whatever a daily table file holds: days come out sorted and
// unique, every value on a day of the table and in date order; no window is
// longer than asked; the flags agree with the figures; the report, the CSV
// (one line per receiver) and the SVG (valid UTF-8, no character XML forbids)
// are made without fault.
#include "trend/Trend.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "reports/DailyTableReader.h"
#include "text/Escape.h"
#include "trend/TrendOutputs.h"

using namespace reports;
using namespace text;
using namespace trend;

namespace {

// Well-formed UTF-8 of characters XML 1.0 allows.
bool XmlClean(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            ++i;
            continue;
        }
        const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || c > 0xF4 || i + n > text.size()) return false;
        std::uint32_t cp = c & (n == 2 ? 0x1Fu : n == 3 ? 0x0Fu : 0x07u);
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3Fu);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            cp == 0xFFFE || cp == 0xFFFF)
            return false;
        i += n;
    }
    return true;
}

void CheckReceiver(const ReceiverTrend& r, const DailyTable& table, const TrendOptions& options) {
    FUZZ_REQUIRE(r.nDays <= static_cast<std::size_t>(options.days));
    if (r.nDays == 0) {
        FUZZ_REQUIRE(r.flags == 0);
        return;
    }
    FUZZ_REQUIRE(r.firstDay <= r.lastDay && r.lastDay < table.days.size());
    FUZZ_REQUIRE(r.latestAverage > 0);
    if (r.flags & kFlagDead) {
        FUZZ_REQUIRE(r.flags == kFlagDead && r.latestValue == 0);
        return;
    }
    FUZZ_REQUIRE(!((r.flags & kFlagBelow) && (r.flags & kFlagCrossing)));
    FUZZ_REQUIRE(std::isfinite(r.latestPercent) && r.latestPercent >= 0);
    FUZZ_REQUIRE(std::isnan(r.slope) == (r.nDays == 1));
    if (r.nDays == 1) FUZZ_REQUIRE(!(r.flags & kFlagCrossing));
    if (r.flags & kFlagCrossing) FUZZ_REQUIRE(r.daysToThreshold <= options.horizonDays);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TrendOptions options;
    options.days = in.ConsumeIntegralInRange(1, 40);
    options.thresholdPercent = in.ConsumeIntegralInRange(0, 100);
    options.horizonDays = in.ConsumeIntegralInRange(0, 60);
    options.dropPercent = in.ConsumeIntegralInRange(0, 100);
    const std::string text = in.ConsumeRemainingBytesAsString();

    TrendedTable t;
    t.path = "fuzz_1.txt";
    t.name = ParseTableName(t.path);
    t.table = ParseDailyTable(text);
    const DailyTable& table = t.table;
    for (std::size_t d = 1; d < table.days.size(); ++d) FUZZ_REQUIRE(table.days[d - 1].number < table.days[d].number);
    for (const TableAxis* axis : {&table.x, &table.y}) {
        for (std::size_t i = 0; i < axis->rows.size(); ++i) {
            FUZZ_REQUIRE(i == 0 || axis->rows[i - 1].index < axis->rows[i].index);
            const auto& values = axis->rows[i].values;
            for (std::size_t k = 0; k < values.size(); ++k) {
                FUZZ_REQUIRE(values[k].day < table.days.size() && values[k].value != kNoValue);
                FUZZ_REQUIRE(k == 0 || values[k - 1].day < values[k].day);
            }
        }
    }
    t.trend = ComputeTrend(table, options);
    std::size_t nReceivers = 0;
    for (const AxisTrend* axis : {&t.trend.x, &t.trend.y}) {
        for (const ReceiverTrend& r : axis->receivers) CheckReceiver(r, table, options);
        nReceivers += axis->receivers.size();
    }
    if (table.days.empty()) return 0;  // the command refuses such a table

    const std::string report = TrendReport(t, options);
    FUZZ_REQUIRE(!report.empty() && report.back() == '\n');
    const std::string csv = TrendCsv({t}, options);
    std::size_t nLines = 0;
    for (std::size_t at = 0; (at = csv.find("\r\n", at)) != std::string::npos; at += 2) ++nLines;
    FUZZ_REQUIRE(nLines == nReceivers + 1);
    FUZZ_REQUIRE(XmlClean(TrendSvg({t}, options)));
    FUZZ_REQUIRE(XmlClean(XmlText(text)));
    return 0;
}
