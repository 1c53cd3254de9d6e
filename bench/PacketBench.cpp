// The per-packet path of the live scope: one dump packet of 2 x N receivers
// evaluated into chart points (AddPoint into two chart models), averages and
// report samples, against a baseline that only reads and sums the same bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "chart/ChartModel.h"
#include "scope/PacketEvaluation.h"

namespace {

std::vector<std::uint8_t> MakePacket(std::size_t n) {
    std::vector<std::uint8_t> packet(quorvane::kDumpHeaderBytes + 2 * n);
    std::uint32_t seed = 99;
    for (auto& b : packet) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return packet;
}

void PrepareChart(chart::ChartModel& model, int n) {
    model.SetRange(0, n, 0, 255);
    model.m_nSeriesCount = 3;
    model.SetPointCount(n);
}

void BM_PacketBaseline(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> packet = MakePacket(n);
    const std::uint8_t* receivers = packet.data() + quorvane::kDumpHeaderBytes;
    for (auto _ : state) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < 2 * n; ++i) sum += receivers[i];
        benchmark::DoNotOptimize(sum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(2 * n));
}

// Per point = the sink gets every AddPoint call on its own (as a plain callback
// would); the handler's path hands the chart one run per series.
template <bool kPerPoint>
void PacketEvaluation(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> packet = MakePacket(n);
    const scope::PacketView view{packet.data(), n, n};
    const scope::AxisWindow window{0, static_cast<int>(n), static_cast<int>(n)};
    chart::ChartModel xChart, yChart;
    PrepareChart(xChart, static_cast<int>(n));
    PrepareChart(yChart, static_cast<int>(n));
    const std::vector<double> noCapture;
    const scope::CaptureView off = scope::CaptureView::Of(0, noCapture);
    std::vector<std::uint32_t> xSamples, ySamples;
    xSamples.reserve(n);
    ySamples.reserve(n);
    const auto evaluate = [&](const scope::AxisSource& source, chart::ChartModel& model,
                              std::vector<std::uint32_t>& samples) {
        const scope::SampleTarget target{&samples, n};
        if constexpr (kPerPoint) {
            return scope::EvaluateAxis(source, scope::DisplayScale{}, off, off, target,
                                       [&](int p, double v, int nSeriesCount, int nSeries) {
                                           model.AddPoint(p, v, nSeriesCount, nSeries, 0);
                                       });
        } else {
            return scope::EvaluateAxis(source, scope::DisplayScale{}, off, off, target, chart::PointFeed{model, 0});
        }
    };
    for (auto _ : state) {
        // Samples are collected (an LED check waits): the worst case.
        xSamples.clear();
        ySamples.clear();
        const auto x = evaluate(scope::XAxisSource(view, window), xChart, xSamples);
        const auto y = evaluate(scope::YAxisSource(view, window), yChart, ySamples);
        benchmark::DoNotOptimize(x.dAverage);
        benchmark::DoNotOptimize(y.dAverage);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(2 * n));
}

void BM_PacketEvaluation(benchmark::State& state) { PacketEvaluation<false>(state); }
void BM_PacketEvaluationPerPoint(benchmark::State& state) { PacketEvaluation<true>(state); }

BENCHMARK(BM_PacketBaseline)->Arg(64)->Arg(256)->Arg(512);
BENCHMARK(BM_PacketEvaluation)->Arg(64)->Arg(256)->Arg(512);
BENCHMARK(BM_PacketEvaluationPerPoint)->Arg(512);

}  // namespace
