// The sweep test's update per packet on the packet path: one pass over the
// receivers of a 512 x 512 frame (issue bound: at most 2 us).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "check/Sweep.h"

namespace {

constexpr unsigned kCells = 512;

// Levels near 62 with noise; in packet k the stylus covers two cells of X,
// then of Y, moving one cell a packet. X receiver 100 never drops, so the
// sweep never completes and every packet is measured whole.
std::vector<std::vector<std::uint8_t>> Packets(bool bStylus) {
    std::vector<std::vector<std::uint8_t>> packets;
    std::uint32_t seed = 11;
    for (unsigned k = 0; k < 2 * kCells; ++k) {
        std::vector<std::uint8_t> bytes(2 * kCells);
        for (auto& b : bytes) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(59 + (seed >> 29));
        }
        if (bStylus)
            for (unsigned c = k; c < k + 2 && c < 2 * kCells; ++c)
                if (c != 100) bytes[c] = 2;
        packets.push_back(bytes);
    }
    return packets;
}

void BM_SweepPacket512x512(benchmark::State& state) {
    const check::FrameGeometry frame{{kCells, 16, 3, 5}, {kCells, 16, 2, 4}};
    check::Sweep sweep(frame, check::BeamSet::OT);
    const std::vector<std::vector<std::uint8_t>> baseline = Packets(false);
    for (int p = 0; p < 8; ++p) sweep.AddBaselinePacket(baseline[p].data(), baseline[p].size());
    sweep.StartSweep(0.0);
    const std::vector<std::vector<std::uint8_t>> packets = Packets(true);
    std::size_t k = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t>& p = packets[k];
        sweep.AddPacket(p.data(), p.size(), 1.0);
        k = k + 1 == packets.size() ? 0 : k + 1;
        benchmark::ClobberMemory();
    }
    if (sweep.Ended(1.0)) state.SkipWithError("the sweep ended: the figure would measure nothing");
}
BENCHMARK(BM_SweepPacket512x512);

}  // namespace
