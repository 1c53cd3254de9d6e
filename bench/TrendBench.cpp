// The trend of a daily table: a year of a 2 x 512 frame as the daily save
// writes it (the budget is 50 ms), and tables of 1,000 to 10,000 days, whose
// time per cell should stay flat.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "trend/Trend.h"
#include "trend/TrendOutputs.h"

namespace {

// A year of saves; one receiver fades, as the trend is there to find.
const std::string& YearTable() {
    static const std::string table = [] {
        std::string text;
        for (int day = 0; day < 365; ++day) {
            reports::DailySample sample{reports::TableDateText(15706 + day), {}, {}};
            for (int j = 0; j < 512; ++j) {
                const int fade = j == 300 ? day / 5 : 0;
                sample.x.push_back(static_cast<std::uint32_t>(90 + (day * 7 + j) % 9 - fade) * 40);
                sample.y.push_back(static_cast<std::uint32_t>(90 + (day * 3 + j) % 7) * 40);
            }
            text = reports::MergeDailyTable(text, sample);
        }
        return text;
    }();
    return table;
}

// What the command does per table without --csv and --svg: read, trend, report.
void BM_TrendYear2x512(benchmark::State& state) {
    const std::string& text = YearTable();
    const trend::TrendOptions options;
    for (auto _ : state) {
        trend::TrendedTable t;
        t.table = reports::ParseDailyTable(text);
        t.trend = trend::ComputeTrend(t.table, options);
        benchmark::DoNotOptimize(trend::TrendReport(t, options));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TrendYear2x512)->Unit(benchmark::kMillisecond);

// The same table with both outputs as well.
void BM_TrendYear2x512Outputs(benchmark::State& state) {
    const trend::TrendOptions options;
    std::vector<trend::TrendedTable> tables(1);
    tables[0].table = reports::ParseDailyTable(YearTable());
    tables[0].trend = trend::ComputeTrend(tables[0].table, options);
    for (auto _ : state) {
        benchmark::DoNotOptimize(trend::TrendCsv(tables, options));
        benchmark::DoNotOptimize(trend::TrendSvg(tables, options));
    }
}
BENCHMARK(BM_TrendYear2x512Outputs)->Unit(benchmark::kMillisecond);

// 2 x 32 receivers over N days, written directly (merging 10,000 saves would take minutes).
void BM_TrendDays(benchmark::State& state) {
    const int nDays = static_cast<int>(state.range(0));
    std::string text = "Date";
    for (int d = 0; d < nDays; ++d) text += "\t" + reports::TableDateText(d);
    text += "\r\n";
    for (const char axis : {'X', 'Y'})
        for (int j = 0; j < 32; ++j) {
            text += axis + std::to_string(j);
            for (int d = 0; d < nDays; ++d) text += "\t" + std::to_string((80 + (d + j) % 11) * 40);
            text += "\r\n";
        }
    for (auto _ : state)
        benchmark::DoNotOptimize(trend::ComputeTrend(reports::ParseDailyTable(text), trend::TrendOptions{}));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * nDays * 64);  // cells
}
BENCHMARK(BM_TrendDays)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
