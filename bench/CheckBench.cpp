// The frame check's work once the packets are in: medians over 8 packets,
// the LED check's analysis and the diagnosis of a 4096 x 4096 frame measured
// on all five beam sets (target: at most 5 ms), and the medians alone.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "check/Diagnosis.h"

namespace {

constexpr unsigned kCells = 4096;
const check::FrameGeometry kFrame{{kCells, 64, 3, 5}, {kCells, 64, 2, 4}};

// Levels near 96 with noise, a dead receiver and a dead LED on each axis.
std::vector<check::SetMeasurement> Measurements() {
    std::vector<check::SetMeasurement> sets;
    std::uint32_t seed = 7;
    for (check::BeamSet set : check::PlanBeamSets(kFrame).requested) {
        check::SetMeasurement m{set, {}};
        for (int p = 0; p < 8; ++p) {
            std::vector<std::uint8_t> bytes(2 * kCells);
            for (auto& b : bytes) {
                seed = seed * 1664525u + 1013904223u;
                b = static_cast<std::uint8_t>(93 + (seed >> 29));
            }
            bytes[1000] = bytes[kCells + 3000] = 0;
            const int offset = reports::LedNumber(0, check::DumpAxisCode(set), kFrame.x.nTilt1, kFrame.x.nTilt2);
            bytes[static_cast<std::size_t>(2000 - 1 - offset)] = 0;  // the beam of X LED 2000
            m.packets.push_back(bytes);
        }
        sets.push_back(m);
    }
    return sets;
}

void BM_CheckDiagnosis4096(benchmark::State& state) {
    const std::vector<check::SetMeasurement> sets = Measurements();
    const check::DiagnosisSettings settings;
    for (auto _ : state) {
        check::FrameVerdict verdict = check::Diagnose("bench", 0, kFrame, settings, sets);
        benchmark::DoNotOptimize(verdict.faults.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CheckDiagnosis4096)->Unit(benchmark::kMillisecond);

void BM_CheckMedians4096(benchmark::State& state) {
    const std::vector<check::SetMeasurement> sets = Measurements();
    for (auto _ : state) {
        for (const check::SetMeasurement& m : sets) {
            check::ReceiverStats stats = check::MedianOverPackets(m.packets, 0, 2 * kCells);
            benchmark::DoNotOptimize(stats.median.data());
        }
    }
}
BENCHMARK(BM_CheckMedians4096)->Unit(benchmark::kMillisecond);

}  // namespace
