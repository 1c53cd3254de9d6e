#include "check/Diagnosis.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "scope/PacketEvaluation.h"

namespace check {

namespace {

constexpr const char* kBeamSetNames[kBeamSetCount] = {"OT", "TL1", "TR1", "TL2", "TR2"};
// A frame's record holds 16-bit counts: more cells than that are no frame's.
constexpr unsigned kMaxCells = 65535;
constexpr long long kSignalPerByte = static_cast<long long>(scope::kSignalPerByte);

unsigned TiltOf(const AxisGeometry& axis, BeamSet set) {
    switch (set) {
        case BeamSet::TL1:
        case BeamSet::TR1: return axis.nTilt1;
        case BeamSet::TL2:
        case BeamSet::TR2: return axis.nTilt2;
        default: return 0;
    }
}

std::string Format(const char* format, long long a, long long b = 0, long long c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Up to this many packets the medians come from a sorting network over whole
// packets (n rounds of odd-even transposition); beyond it, per receiver.
constexpr std::size_t kNetworkPackets = 32;

// a[i], b[i] = min, max of the two, for every i.
void OrderRows(std::uint8_t* __restrict a, std::uint8_t* __restrict b, std::size_t n) {
    std::size_t i = 0;
    // Fixed-length blocks: vectorised even at -O2's cheapest cost model.
    for (; i + 32 <= n; i += 32) {
        for (std::size_t k = i; k < i + 32; ++k) {
            const std::uint8_t x = a[k], y = b[k];
            a[k] = x < y ? x : y;
            b[k] = x < y ? y : x;
        }
    }
    for (; i < n; ++i) {
        const std::uint8_t x = a[i], y = b[i];
        a[i] = x < y ? x : y;
        b[i] = x < y ? y : x;
    }
}

// One analysed, lit set of one axis, on the medians.
struct SetOnAxis {
    BeamSet set;
    long long offset;  // S = R + offset
    const ReceiverStats* stats;
    std::vector<std::uint32_t> values;  // median x 40, receiver R at R - 1
    reports::LedAxisResult result;
    std::vector<char> lowAt;  // by R (index 0 unused)

    bool Reaches(long long r) const {
        return r >= 1 && static_cast<std::size_t>(r - 1) >= result.nFirstAnalysed &&
               static_cast<std::size_t>(r - 1) < result.nEndAnalysed;
    }
    long long Value(long long r) const { return values[static_cast<std::size_t>(r - 1)]; }
};

Fault ReceiverFault(Axis axis, Part part, long long r, unsigned nModuleCell) {
    const reports::ModulePosition place = reports::ModuleOf(static_cast<int>(r), nModuleCell);
    Fault fault;
    fault.axis = axis;
    fault.part = part;
    fault.receiver = r;
    fault.receiverModule = place.nModule;
    fault.receiverPosition = place.nPosition;
    return fault;
}

Fault BeamFault(Axis axis, Part part, const SetOnAxis& set, long long r, unsigned nModuleCell) {
    Fault fault = ReceiverFault(axis, part, r, nModuleCell);
    const long long s = r + set.offset;
    const reports::ModulePosition place = reports::ModuleOf(static_cast<int>(s), nModuleCell);
    fault.set = set.set;
    fault.led = s;
    fault.ledModule = place.nModule;
    fault.ledPosition = place.nPosition;
    fault.level = set.Value(r);
    return fault;
}

// The diagnosis of one axis over its lit sets, appended to `faults`.
void DiagnoseAxis(Axis axis, const AxisGeometry& geometry, const std::vector<SetOnAxis>& sets,
                  std::vector<Fault>& faults) {
    const long long n = geometry.nCells;
    std::size_t reaching = 0;
    for (const SetOnAxis& s : sets) reaching += s.result.nEndAnalysed > s.result.nFirstAnalysed;
    if (reaching < 2) {
        // One set: a low beam may be its LED's or its receiver's fault.
        for (const SetOnAxis& s : sets)
            for (const reports::LedFinding& f : s.result.low)
                faults.push_back(BeamFault(axis, Part::LedOrReceiver, s, f.nReceiver, geometry.nModuleCell));
        return;
    }

    // A receiver low on every set that reaches it, with at least two different
    // LEDs among those beams (TL1 and TL2 of equal tilts are one beam twice).
    std::vector<char> deadReceiver(static_cast<std::size_t>(n) + 1, 0);
    for (long long r = 1; r <= n; ++r) {
        long long firstLed = -1;
        bool bTwoLeds = false, bAllLow = true;
        long long level = 0;
        for (const SetOnAxis& s : sets) {
            if (!s.Reaches(r)) continue;
            const long long led = r + s.offset;
            if (firstLed < 0) firstLed = led;
            else if (led != firstLed) bTwoLeds = true;
            bAllLow = bAllLow && s.lowAt[static_cast<std::size_t>(r)];
            level = std::max(level, s.Value(r));
        }
        if (!bTwoLeds || !bAllLow) continue;
        deadReceiver[static_cast<std::size_t>(r)] = 1;
        Fault fault = ReceiverFault(axis, Part::Receiver, r, geometry.nModuleCell);
        fault.level = level;
        faults.push_back(fault);
    }

    // An LED all of whose beams are low, seen low by at least two receivers
    // that the receivers found above do not explain.
    std::vector<char> deadLed(static_cast<std::size_t>(n) + 1, 0);
    for (long long led = 0; led <= n; ++led) {
        long long firstReceiver = -1;
        bool bTwoReceivers = false, bAllLow = true, bAny = false;
        long long level = 0;
        for (const SetOnAxis& s : sets) {
            const long long r = led - s.offset;
            if (!s.Reaches(r)) continue;
            bAny = true;
            bAllLow = bAllLow && s.lowAt[static_cast<std::size_t>(r)];
            level = std::max(level, s.Value(r));
            if (deadReceiver[static_cast<std::size_t>(r)]) continue;
            if (firstReceiver < 0) firstReceiver = r;
            else if (r != firstReceiver) bTwoReceivers = true;
        }
        if (!bAny || !bAllLow || !bTwoReceivers) continue;
        deadLed[static_cast<std::size_t>(led)] = 1;
        const reports::ModulePosition place = reports::ModuleOf(static_cast<int>(led), geometry.nModuleCell);
        Fault fault;
        fault.axis = axis;
        fault.part = Part::Led;
        fault.led = led;
        fault.ledModule = place.nModule;
        fault.ledPosition = place.nPosition;
        fault.level = level;
        faults.push_back(fault);
    }

    for (const SetOnAxis& s : sets)
        for (const reports::LedFinding& f : s.result.low)
            if (!deadReceiver[static_cast<std::size_t>(f.nReceiver)] && !deadLed[static_cast<std::size_t>(f.nLed)])
                faults.push_back(BeamFault(axis, Part::Beam, s, f.nReceiver, geometry.nModuleCell));
}

// --flicker and --min-level on the beams the LED check analyses.
void CheckLevels(Axis axis, const AxisGeometry& geometry, const DiagnosisSettings& settings,
                 const std::vector<SetOnAxis>& sets, std::vector<Fault>& faults) {
    if (settings.flickerPercent) {
        for (const SetOnAxis& s : sets) {
            for (std::size_t i = s.result.nFirstAnalysed; i < s.result.nEndAnalysed; ++i) {
                const unsigned median = s.stats->median[i];
                const unsigned spread = s.stats->high[i] - s.stats->low[i];
                if (median == 0 || spread * 100.0 <= *settings.flickerPercent * median) continue;
                Fault fault = BeamFault(axis, Part::Flicker, s, static_cast<long long>(i) + 1, geometry.nModuleCell);
                fault.spread = spread * kSignalPerByte;
                faults.push_back(fault);
            }
        }
    }
    if (settings.minLevel) {
        for (const SetOnAxis& s : sets)
            for (std::size_t i = s.result.nFirstAnalysed; i < s.result.nEndAnalysed; ++i)
                if (s.values[i] < *settings.minLevel)
                    faults.push_back(
                        BeamFault(axis, Part::BelowMin, s, static_cast<long long>(i) + 1, geometry.nModuleCell));
    }
}

}  // namespace

const char* BeamSetName(BeamSet set) {
    const int i = static_cast<int>(set);
    return i >= 0 && i < kBeamSetCount ? kBeamSetNames[i] : "?";
}

std::optional<BeamSet> BeamSetFromName(std::string_view name) {
    for (BeamSet set : kBeamSets) {
        const std::string_view known = BeamSetName(set);
        if (known.size() == name.size() && std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return a == std::toupper(static_cast<unsigned char>(b));
            }))
            return set;
    }
    return std::nullopt;
}

const char* AxisName(Axis axis) { return axis == Axis::X ? "X" : "Y"; }

const char* PartName(Part part) {
    switch (part) {
        case Part::AxisDark: return "axis-dark";
        case Part::Receiver: return "receiver";
        case Part::Led: return "led";
        case Part::Beam: return "beam";
        case Part::LedOrReceiver: return "led-or-receiver";
        case Part::Flicker: return "flicker";
        case Part::BelowMin: return "below-min";
    }
    return "?";
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass: return "pass";
        case Verdict::Fail: return "fail";
        case Verdict::Error: return "error";
    }
    return "?";
}

FrameGeometry GeometryOf(const quorvane::FrameSettings& settings) {
    FrameGeometry g;
    g.x = {settings.m_nXTCount, settings.X_MODULE_CELL, settings.X_TILT1, settings.X_TILT2};
    g.y = {settings.m_nYTCount, settings.Y_MODULE_CELL, settings.Y_TILT1, settings.Y_TILT2};
    return g;
}

BeamSetPlan PlanBeamSets(const FrameGeometry& geometry, unsigned nChosenSets) {
    BeamSetPlan plan;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const AxisGeometry& g = geometry[axis];
        if (g.nCells == 0 || g.nCells > kMaxCells) {
            plan.error = std::string("the frame reports ") + std::to_string(g.nCells) + " cells on " + AxisName(axis) +
                         ": nothing to measure";
            return plan;
        }
    }
    for (BeamSet set : kBeamSets) {
        bool bRequested = false;
        for (Axis axis : {Axis::X, Axis::Y}) {
            const bool bAnalysed =
                (nChosenSets & BeamSetBit(set)) != 0 && (set == BeamSet::OT || TiltOf(geometry[axis], set) > 0);
            plan.analysed[static_cast<int>(axis)][static_cast<int>(set)] = bAnalysed;
            bRequested = bRequested || bAnalysed;
        }
        if (bRequested) plan.requested.push_back(set);
    }
    for (Axis axis : {Axis::X, Axis::Y}) {
        bool bAny = false;
        for (BeamSet set : kBeamSets) bAny = bAny || plan.IsAnalysed(axis, set);
        if (!bAny) {
            const AxisGeometry& g = geometry[axis];
            plan.error = std::string("no chosen beam set applies to ") + AxisName(axis) +
                         Format(" (tilt 1 %lld, tilt 2 %lld): add OT", g.nTilt1, g.nTilt2);
            return plan;
        }
    }
    return plan;
}

ReceiverStats MedianOverPackets(const std::vector<std::vector<std::uint8_t>>& packets, std::size_t nFirst,
                                std::size_t nCount) {
    ReceiverStats stats;
    const std::size_t n = packets.size();
    if (n == 0) {
        stats.median.resize(nCount);
        stats.low.resize(nCount);
        stats.high.resize(nCount);
        return stats;
    }
    const std::size_t middle = (n - 1) / 2;
    if (n <= kNetworkPackets) {
        // All receivers at once: row p ends up holding every receiver's p-th
        // smallest byte. Each step is a min/max over two whole rows, which the
        // compiler turns into vector instructions.
        std::vector<std::vector<std::uint8_t>> rows;
        rows.reserve(packets.size());
        for (const std::vector<std::uint8_t>& packet : packets)
            rows.emplace_back(packet.begin() + static_cast<std::ptrdiff_t>(nFirst),
                              packet.begin() + static_cast<std::ptrdiff_t>(nFirst + nCount));
        for (std::size_t round = 0; round < n; ++round)
            for (std::size_t p = round % 2; p + 1 < n; p += 2) OrderRows(rows[p].data(), rows[p + 1].data(), nCount);
        stats.low = rows.front();
        stats.high = rows.back();
        stats.median = std::move(rows[middle]);
        return stats;
    }
    stats.median.resize(nCount);
    stats.low.resize(nCount);
    stats.high.resize(nCount);
    std::vector<std::uint8_t> column(n);
    for (std::size_t i = 0; i < nCount; ++i) {
        for (std::size_t p = 0; p < n; ++p) column[p] = packets[p][nFirst + i];
        const auto [lo, hi] = std::minmax_element(column.begin(), column.end());
        stats.low[i] = *lo;
        stats.high[i] = *hi;
        std::nth_element(column.begin(), column.begin() + static_cast<std::ptrdiff_t>(middle), column.end());
        stats.median[i] = column[middle];
    }
    return stats;
}

FrameVerdict Diagnose(const std::string& name, int nUsbIndexNo, const FrameGeometry& geometry,
                      const DiagnosisSettings& settings, const std::vector<SetMeasurement>& measured) {
    FrameVerdict verdict;
    verdict.name = name;
    verdict.nUsbIndexNo = nUsbIndexNo;
    verdict.geometry = geometry;
    const BeamSetPlan plan = PlanBeamSets(geometry, settings.nChosenSets);
    if (!plan.error.empty()) {
        verdict.error = plan.error;
        return verdict;
    }

    const std::size_t nx = geometry.x.nCells, ny = geometry.y.nCells;
    // Statistics of every requested set that was measured whole, in plan order.
    std::vector<std::pair<BeamSet, ReceiverStats>> stats[2];
    for (BeamSet set : plan.requested) {
        const auto it =
            std::find_if(measured.begin(), measured.end(), [set](const SetMeasurement& m) { return m.set == set; });
        if (it == measured.end() || it->packets.empty()) {
            if (verdict.error.empty()) verdict.error = std::string("no packet of beam set ") + BeamSetName(set);
            continue;
        }
        const auto shortPacket = std::find_if(it->packets.begin(), it->packets.end(),
                                              [&](const std::vector<std::uint8_t>& p) { return p.size() < nx + ny; });
        if (shortPacket != it->packets.end()) {
            if (verdict.error.empty())
                verdict.error = std::string("a packet of beam set ") + BeamSetName(set) +
                                Format(" holds %lld receiver bytes, the frame has %lld + %lld",
                                       static_cast<long long>(shortPacket->size()), static_cast<long long>(nx),
                                       static_cast<long long>(ny));
            continue;
        }
        if (plan.IsAnalysed(Axis::X, set)) stats[0].emplace_back(set, MedianOverPackets(it->packets, 0, nx));
        if (plan.IsAnalysed(Axis::Y, set)) stats[1].emplace_back(set, MedianOverPackets(it->packets, nx, ny));
    }

    for (Axis axis : {Axis::X, Axis::Y}) {
        const AxisGeometry& g = geometry[axis];
        std::vector<SetOnAxis> lit;
        for (const auto& [set, setStats] : stats[static_cast<int>(axis)]) {
            SetOnAxis s{set, reports::LedNumber(0, DumpAxisCode(set), g.nTilt1, g.nTilt2), &setStats, {}, {}, {}};
            s.values.reserve(g.nCells);
            for (std::uint8_t b : setStats.median) s.values.push_back(b * static_cast<std::uint32_t>(kSignalPerByte));
            reports::LedCheckInput input;
            input.nThresholdPercent = settings.nThresholdPercent;
            input.nDumpAxisMask = DumpAxisCode(set);
            input.x =
                reports::LedAxis{s.values.data(), s.values.size(), 0, g.nCells, g.nModuleCell, g.nTilt1, g.nTilt2};
            s.result = reports::AnalyseLedCheck(input).x;

            SetResult shown{axis, set, s.result.bSkipped, s.result.fAverage, s.result.nCutline, s.result.low};
            verdict.sets.push_back(std::move(shown));
            if (s.result.bSkipped) {
                Fault dark;
                dark.axis = axis;
                dark.part = Part::AxisDark;
                dark.set = set;
                verdict.faults.push_back(dark);
                continue;
            }
            s.lowAt.assign(static_cast<std::size_t>(g.nCells) + 1, 0);
            for (const reports::LedFinding& f : s.result.low) s.lowAt[static_cast<std::size_t>(f.nReceiver)] = 1;
            lit.push_back(std::move(s));
        }
        if (!verdict.error.empty()) continue;  // a diagnosis needs every set
        DiagnoseAxis(axis, g, lit, verdict.faults);
        CheckLevels(axis, g, settings, lit, verdict.faults);
    }
    if (!verdict.error.empty()) verdict.faults.clear();
    return verdict;
}

}  // namespace check
