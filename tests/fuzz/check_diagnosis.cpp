// The frame check on any geometry, packets, options and names: every low beam
// and every dark set ends in a faulty part (never a pass), every part's numbers
// lie on its axis, the JSON parses back, the JUnit text is valid for XML 1.0
// and a log record is one line. Command lines from the same bytes are parsed
// and either refused or kept within the documented ranges.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzCheck.h"
#include "check/CheckReport.h"
#include "text/Escape.h"
#include "console/CheckOptions.h"

using namespace check;
using text::ValidUtf8;

namespace {

AxisGeometry AnyAxis(FuzzedDataProvider& in) {
    AxisGeometry g;
    g.nCells = in.ConsumeIntegralInRange(in.ConsumeIntegralInRange(0, 15) == 0 ? 0u : 1u, 48u);
    g.nModuleCell = in.ConsumeIntegralInRange(0u, 20u);
    g.nTilt1 = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(1u, 60u);
    g.nTilt2 = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(1u, 60u);
    return g;
}

void CheckFault(const Fault& f, const FrameGeometry& g, const BeamSetPlan& plan) {
    const long long n = g[f.axis].nCells;
    if (f.led) FUZZ_REQUIRE(*f.led >= 0 && *f.led <= n);
    if (f.receiver) FUZZ_REQUIRE(*f.receiver >= 1 && *f.receiver <= n);
    if (f.set) FUZZ_REQUIRE(plan.IsAnalysed(f.axis, *f.set));
    FUZZ_REQUIRE(f.ledModule.has_value() == f.led.has_value());
    FUZZ_REQUIRE(f.receiverModule.has_value() == f.receiver.has_value());
    switch (f.part) {
        case Part::AxisDark: FUZZ_REQUIRE(f.set && !f.led && !f.receiver); break;
        case Part::Receiver: FUZZ_REQUIRE(!f.set && !f.led && f.receiver); break;
        case Part::Led: FUZZ_REQUIRE(!f.set && f.led && !f.receiver); break;
        default: FUZZ_REQUIRE(f.set && f.led && f.receiver);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const FrameGeometry g{AnyAxis(in), AnyAxis(in)};
    DiagnosisSettings settings;
    settings.nThresholdPercent = in.ConsumeBool() ? 33 : in.ConsumeIntegralInRange(-5, 120);
    settings.nChosenSets = in.ConsumeBool() ? kAllBeamSets : in.ConsumeIntegralInRange(0u, kAllBeamSets);
    if (in.ConsumeBool()) settings.flickerPercent = in.ConsumeIntegralInRange(0, 200);
    if (in.ConsumeBool()) settings.minLevel = in.ConsumeIntegralInRange(1, 10200);
    const BeamSetPlan plan = PlanBeamSets(g, settings.nChosenSets);

    const std::size_t bytes = g.x.nCells + g.y.nCells;
    const std::size_t nPackets = in.ConsumeIntegralInRange<std::size_t>(1, 40);
    const bool bDropOne = in.ConsumeIntegralInRange(0, 31) == 0;
    std::vector<SetMeasurement> measured;
    for (BeamSet set : plan.requested) {
        SetMeasurement m{set, {}};
        for (std::size_t p = 0; p < nPackets; ++p) {
            std::vector<std::uint8_t> packet = in.ConsumeBytes<std::uint8_t>(bytes);
            packet.resize(bytes, static_cast<std::uint8_t>(90 + p % 5));
            m.packets.push_back(std::move(packet));
        }
        measured.push_back(std::move(m));
    }
    if (bDropOne && !measured.empty()) measured.pop_back();
    const std::string name = in.ConsumeRandomLengthString(40);
    const FrameVerdict v = Diagnose(name, in.ConsumeIntegral<int>(), g, settings, measured);

    if (!plan.error.empty() || (bDropOne && !plan.requested.empty())) {
        FUZZ_REQUIRE(v.verdict() == Verdict::Error && v.faults.empty());
    } else {
        FUZZ_REQUIRE(v.error.empty());
        bool bLowOrDark = false;
        for (const SetResult& s : v.sets) bLowOrDark = bLowOrDark || s.bDark || !s.low.empty();
        FUZZ_REQUIRE(!bLowOrDark || v.verdict() == Verdict::Fail);
        for (const Fault& f : v.faults) CheckFault(f, g, plan);
    }

    RunInfo run;
    run.programVersion = in.ConsumeRandomLengthString(8);
    run.time = in.ConsumeRandomLengthString(30);
    // The writers' work grows with the faults, not their variety: a few keep the run fast.
    std::vector<FrameVerdict> frames{v};
    if (frames[0].faults.size() > 12) frames[0].faults.resize(12);
    const std::string json = JsonReport(run, frames);
    const nlohmann::json parsed = nlohmann::json::parse(json);  // throws (and so crashes) on a broken document
    FUZZ_REQUIRE(parsed["frames"].size() == 1 && parsed["frames"][0]["verdict"] == VerdictName(v.verdict()));
    if (ValidUtf8(name) == name) FUZZ_REQUIRE(parsed["frames"][0]["name"] == name);
    const std::string junit = JunitReport(run, frames);
    FUZZ_REQUIRE(ValidUtf8(junit, true) == junit);
    const std::string line = LogLine(run.time, v);
    FUZZ_REQUIRE(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);

    std::vector<std::string> args;
    while (in.remaining_bytes() > 0 && args.size() < 12) args.push_back(in.ConsumeRandomLengthString(24));
    const ParsedOptions options = ParseCheckOptions(args);
    FUZZ_REQUIRE(options.options.has_value() != !options.error.empty());
    if (options.options && !options.options->bHelp && !options.options->bVersion) {
        const CheckOptions& o = *options.options;
        FUZZ_REQUIRE(o.nPackets >= 1 && o.nPackets <= 1000 && o.nWaitSeconds >= 1 && o.nTimeoutSeconds >= 1);
        FUZZ_REQUIRE(o.nSettleMs <= 60000 && o.nChosenSets != 0 && o.nChosenSets <= kAllBeamSets);
        FUZZ_REQUIRE(!o.flickerPercent || (*o.flickerPercent >= 0 && *o.flickerPercent <= 1000));
        FUZZ_REQUIRE(!o.minLevel || (*o.minLevel >= 1 && *o.minLevel <= 10200));
    }
    return 0;
}
