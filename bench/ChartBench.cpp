// The chart model's share of a packet: AddPoint for every receiver and series.
#include <benchmark/benchmark.h>

#include "chart/ChartModel.h"

namespace {

void BM_ChartAddPoint(benchmark::State& state) {
    const int nPoints = static_cast<int>(state.range(0));
    const int nSeries = static_cast<int>(state.range(1));
    chart::ChartModel model;
    model.SetRange(0, nPoints, 0, 100);
    model.m_nSeriesCount = 3;
    model.SetPointCount(nPoints);
    double v = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < nPoints; ++i)
            for (int s = 0; s < nSeries; ++s) model.AddPoint(i, v + s, nSeries, s, 0);
        v = v < 90.0 ? v + 1.0 : 0.0;
        benchmark::DoNotOptimize(model.m_aSeries[0].pY);
    }
    state.SetItemsProcessed(state.iterations() * nPoints * nSeries);
}
BENCHMARK(BM_ChartAddPoint)->Args({512, 3})->Args({512, 1});

}  // namespace
