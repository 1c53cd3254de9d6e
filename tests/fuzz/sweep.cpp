// The sweep test on any geometry, set, settings and packets: it ends, its
// counts agree with its cells, and every receiver that was expected but never
// seen lies in exactly one stuck or not-swept fault (unless nothing was seen
// at all), every low one in one low fault, all numbered within its axis.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "check/Sweep.h"

using namespace check;

namespace {

AxisGeometry AnyAxis(FuzzedDataProvider& in) {
    AxisGeometry g;
    g.nCells = in.ConsumeIntegralInRange(in.ConsumeIntegralInRange(0, 15) == 0 ? 0u : 1u, 40u);
    g.nModuleCell = in.ConsumeIntegralInRange(0u, 20u);
    g.nTilt1 = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(1u, 50u);
    g.nTilt2 = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(1u, 50u);
    return g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const FrameGeometry g{AnyAxis(in), AnyAxis(in)};
    const BeamSet set = kBeamSets[in.ConsumeIntegralInRange(0, kBeamSetCount - 1)];
    SweepSettings settings;
    settings.dropPercent = in.ConsumeFloatingPointInRange(0.0, 100.0);
    settings.timeLimitSeconds = in.ConsumeFloatingPointInRange(0.0, 60.0);
    settings.nThresholdPercent = in.ConsumeIntegralInRange(-5, 120);
    Sweep sweep(g, set, settings);

    const std::size_t bytes = g.x.nCells + g.y.nCells;
    const std::size_t nBaseline = in.ConsumeIntegralInRange<std::size_t>(0, 9);
    for (std::size_t p = 0; p < nBaseline; ++p) {
        std::vector<std::uint8_t> packet = in.ConsumeBytes<std::uint8_t>(bytes);
        if (in.ConsumeIntegralInRange(0, 15) != 0) packet.resize(bytes, 60);
        sweep.AddBaselinePacket(packet.data(), packet.size());
    }
    const bool bStarted = sweep.StartSweep(0.0);
    FUZZ_REQUIRE(bStarted == sweep.error().empty());
    double at = 0.0;
    while (in.remaining_bytes() > 0) {
        at += in.ConsumeFloatingPointInRange(0.0, 5.0);
        std::vector<std::uint8_t> packet = in.ConsumeBytes<std::uint8_t>(bytes);
        if (in.ConsumeIntegralInRange(0, 31) != 0) packet.resize(bytes, 60);
        sweep.AddPacket(packet.data(), packet.size(), at);
        const SweepProgress p = sweep.Progress(at);
        FUZZ_REQUIRE(p.secondsLeft >= 0.0 && p.secondsLeft <= settings.timeLimitSeconds);
        for (const SweepAxisProgress& a : p.axes) FUZZ_REQUIRE(a.nSeen <= a.nExpected);
    }

    const double end = settings.timeLimitSeconds + 1.0;
    FUZZ_REQUIRE(sweep.Ended(end));
    const SweepResult r = sweep.Result(end);
    if (!sweep.error().empty()) {
        FUZZ_REQUIRE(r.verdict == Verdict::Error && r.faults.empty());
        return 0;
    }
    FUZZ_REQUIRE((r.verdict == Verdict::Pass) == r.faults.empty() && r.verdict != Verdict::Error);
    const SweepProgress p = sweep.Progress(end);
    bool bAnySeen = false;
    for (const SweepAxisProgress& a : p.axes) bAnySeen = bAnySeen || a.nSeen > 0;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const std::size_t n = sweep.Cells(axis);
        std::vector<int> claims(n, 0);
        std::size_t waiting = 0, seen = 0;
        for (std::size_t i = 0; i < n; ++i) {
            waiting += sweep.CellOf(axis, i) == SweepCell::Waiting;
            seen += sweep.CellOf(axis, i) == SweepCell::Seen;
        }
        const SweepAxisProgress& a = p.axes[static_cast<int>(axis)];
        FUZZ_REQUIRE(seen == a.nSeen && waiting + seen == a.nExpected);
        bool bNoSweep = false;
        for (const SweepFault& f : r.faults) {
            if (f.axis != axis) continue;
            FUZZ_REQUIRE(a.bMeasured && f.set == set);
            if (bAnySeen) FUZZ_REQUIRE(f.part != SweepPart::NoSweep);
            else FUZZ_REQUIRE(f.part == SweepPart::NoSweep || f.part == SweepPart::Low);
            if (f.part == SweepPart::NoSweep) {
                bNoSweep = true;
                continue;
            }
            FUZZ_REQUIRE(f.from >= 1 && f.from <= f.to && f.to <= static_cast<long long>(n));
            FUZZ_REQUIRE(f.part == SweepPart::NotSwept || f.from == f.to);
            const std::string text = SweepFaultText(f);
            FUZZ_REQUIRE(text.find(" R:" + std::to_string(f.from)) != std::string::npos);
            for (long long r = f.from; r <= f.to; ++r) {
                const SweepCell cell = sweep.CellOf(axis, static_cast<std::size_t>(r - 1));
                FUZZ_REQUIRE(cell != SweepCell::Seen);
                if (cell == SweepCell::Waiting) ++claims[static_cast<std::size_t>(r - 1)];
                if (f.part == SweepPart::Low) FUZZ_REQUIRE(cell == SweepCell::Low);
                if (f.part == SweepPart::Stuck) FUZZ_REQUIRE(cell == SweepCell::Waiting);
            }
        }
        FUZZ_REQUIRE(bNoSweep == (!bAnySeen && waiting > 0));
        for (std::size_t i = 0; i < n; ++i)
            if (sweep.CellOf(axis, i) == SweepCell::Waiting && bAnySeen) FUZZ_REQUIRE(claims[i] == 1);
    }
    SweepStatusLines(r);
    SweepProgressText(p);
    return 0;
}
