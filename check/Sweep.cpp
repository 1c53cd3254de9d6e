#include "check/Sweep.h"

#include <algorithm>
#include <cmath>

#include "check/CheckReport.h"
#include "scope/PacketEvaluation.h"

namespace check {

namespace {

// A stretch of up to this many cells between receivers that saw the stylus
// was passed over: its receivers are stuck. A wider one was missed.
constexpr std::size_t kStuckStretchCells = 3;

std::string Number(long long n) { return std::to_string(n); }

// The smallest byte that is not interrupted: v is interrupted when
// v * 100 < drop * baseline. Exact for every byte, whatever the rounding of
// drop * baseline / 100.
std::uint8_t LimitOf(std::uint8_t baseline, double dropPercent) {
    const double bound = dropPercent * baseline;
    int limit = static_cast<int>(std::ceil(bound / 100.0));
    limit = std::clamp(limit, 0, 255);
    while (limit > 0 && (limit - 1) * 100.0 >= bound) --limit;
    while (limit < 255 && limit * 100.0 < bound) ++limit;
    return static_cast<std::uint8_t>(limit);
}

}  // namespace

const char* SweepPartName(SweepPart part) {
    switch (part) {
        case SweepPart::Stuck: return "stuck";
        case SweepPart::NotSwept: return "not-swept";
        case SweepPart::NoSweep: return "no-sweep";
        case SweepPart::Low: return "low";
    }
    return "?";
}

Sweep::Sweep(const FrameGeometry& geometry, BeamSet set, const SweepSettings& settings)
    : geometry_(geometry), set_(set), settings_(settings) {
    // Every set on offer, so that the plan names each axis the set applies to
    // and its only complaint is a geometry nothing can be measured on.
    const BeamSetPlan plan = PlanBeamSets(geometry, kAllBeamSets);
    error_ = plan.error;
    for (Axis axis : {Axis::X, Axis::Y}) {
        AxisState& a = axes_[static_cast<int>(axis)];
        a.bMeasured = error_.empty() && plan.IsAnalysed(axis, set);
        a.nModuleCell = geometry[axis].nModuleCell;
        const std::size_t n = error_.empty() ? geometry[axis].nCells : 0;
        a.cells.assign(n, SweepCell::NotMeasured);
        a.baseline.assign(n, 0);
        a.limit.assign(n, 0);
        a.dropped.assign(n, 0);
    }
    if (error_.empty() && !axes_[0].bMeasured && !axes_[1].bMeasured)
        error_ = std::string("beam set ") + BeamSetName(set) + " applies to neither axis (tilts 0)";
}

void Sweep::AddBaselinePacket(const std::uint8_t* pReceivers, std::size_t nBytes) {
    if (!error_.empty() || bStarted_) return;
    if (nBytes < geometry_.x.nCells + geometry_.y.nCells) {
        error_ = "a baseline packet holds " + Number(static_cast<long long>(nBytes)) +
                 " receiver bytes, the frame has " + Number(geometry_.x.nCells) + " + " + Number(geometry_.y.nCells);
        return;
    }
    baselinePackets_.emplace_back(pReceivers, pReceivers + geometry_.x.nCells + geometry_.y.nCells);
}

bool Sweep::StartSweep(double now) {
    if (error_.empty() && baselinePackets_.empty()) error_ = "no baseline packet";
    if (!error_.empty()) return false;
    const std::size_t nx = geometry_.x.nCells, ny = geometry_.y.nCells;
    Analyse(axes_[0], Axis::X, MedianOverPackets(baselinePackets_, 0, nx).median);
    Analyse(axes_[1], Axis::Y, MedianOverPackets(baselinePackets_, nx, ny).median);
    baselinePackets_.clear();
    baselinePackets_.shrink_to_fit();
    bStarted_ = true;
    startedAt_ = now;
    return true;
}

// Low as the check would list it (below the LED check's cutline on the
// set), or reading 0, which no stylus can lower: not expected to drop.
void Sweep::Analyse(AxisState& axis, Axis which, const std::vector<std::uint8_t>& median) {
    axis.baseline = median;
    if (!axis.bMeasured) return;
    const AxisGeometry& g = geometry_[which];
    std::vector<std::uint32_t> values(median.size());
    for (std::size_t i = 0; i < median.size(); ++i)
        values[i] = median[i] * static_cast<std::uint32_t>(scope::kSignalPerByte);
    reports::LedCheckInput input;
    input.nThresholdPercent = settings_.nThresholdPercent;
    input.nDumpAxisMask = DumpAxisCode(set_);
    input.x = reports::LedAxis{values.data(), values.size(), 0, g.nCells, g.nModuleCell, g.nTilt1, g.nTilt2};
    const reports::LedAxisResult led = reports::AnalyseLedCheck(input).x;

    std::vector<bool> listed(median.size(), false);
    for (const reports::LedFinding& f : led.low) listed[static_cast<std::size_t>(f.nReceiver - 1)] = true;
    // Receivers outside the analysed span have no LED opposite them on a tilted set.
    for (std::size_t i = led.nFirstAnalysed; i < led.nEndAnalysed; ++i) {
        if (listed[i] || median[i] == 0) {
            axis.cells[i] = SweepCell::Low;
            continue;
        }
        axis.cells[i] = SweepCell::Waiting;
        axis.limit[i] = LimitOf(median[i], settings_.dropPercent);
        ++axis.nExpected;
    }
}

void Sweep::UpdateAxis(AxisState& axis, const std::uint8_t* pBytes) {
    axis.bPalm = false;
    if (!axis.bMeasured || axis.nExpected == 0) return;
    const std::size_t n = axis.cells.size();
    const std::uint8_t* limit = axis.limit.data();
    std::uint32_t* dropped = axis.dropped.data();
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        dropped[k] = static_cast<std::uint32_t>(i);
        k += pBytes[i] < limit[i] ? 1 : 0;
    }
    // A palm or an object across the frame, not a stylus.
    if (3 * k > axis.nExpected) {
        axis.bPalm = true;
        return;
    }
    for (std::size_t j = 0; j < k; ++j) {
        SweepCell& cell = axis.cells[dropped[j]];
        if (cell == SweepCell::Waiting) {
            cell = SweepCell::Seen;
            ++axis.nSeen;
        }
    }
}

void Sweep::AddPacket(const std::uint8_t* pReceivers, std::size_t nBytes, double at) {
    if (!error_.empty() || !bStarted_ || Complete() || at - startedAt_ >= settings_.timeLimitSeconds) return;
    const std::size_t nx = axes_[0].cells.size(), ny = axes_[1].cells.size();
    if (nBytes < nx + ny) {
        error_ = "a packet holds " + Number(static_cast<long long>(nBytes)) + " receiver bytes, the frame has " +
                 Number(static_cast<long long>(nx)) + " + " + Number(static_cast<long long>(ny));
        return;
    }
    UpdateAxis(axes_[0], pReceivers);
    UpdateAxis(axes_[1], pReceivers + nx);
}

bool Sweep::Complete() const {
    for (const AxisState& a : axes_)
        if (a.bMeasured && a.nSeen < a.nExpected) return false;
    return true;
}

bool Sweep::Ended(double now) const {
    if (!error_.empty()) return true;
    return bStarted_ && (Complete() || now - startedAt_ >= settings_.timeLimitSeconds);
}

SweepProgress Sweep::Progress(double now) const {
    SweepProgress p;
    p.set = set_;
    for (int a = 0; a < 2; ++a) p.axes[a] = {axes_[a].bMeasured, axes_[a].nExpected, axes_[a].nSeen, axes_[a].bPalm};
    const double elapsed = bStarted_ ? now - startedAt_ : 0.0;
    p.secondsLeft = std::max(0.0, settings_.timeLimitSeconds - elapsed);
    p.bComplete = bStarted_ && error_.empty() && Complete();
    return p;
}

SweepFault Sweep::FaultAt(Axis which, SweepPart part, std::size_t from, std::size_t to, unsigned nModuleCell) const {
    SweepFault f;
    f.axis = which;
    f.part = part;
    f.set = set_;
    f.from = static_cast<long long>(from) + 1;
    f.to = static_cast<long long>(to) + 1;
    const reports::ModulePosition place = reports::ModuleOf(static_cast<int>(f.from), nModuleCell);
    f.module = place.nModule;
    f.position = place.nPosition;
    return f;
}

// Each stretch of receivers never seen, between the receivers that were:
// narrow and closed on both sides it is stuck receivers, else a stretch the
// stylus missed.
void Sweep::AddFaults(const AxisState& axis, Axis which, std::vector<SweepFault>& faults) const {
    const std::size_t n = axis.cells.size();
    const std::size_t kNone = n;
    std::size_t lastSeen = kNone, first = kNone, last = kNone;
    auto close = [&](std::size_t nextSeen) {
        if (first == kNone) return;
        const bool bClosed = lastSeen != kNone && nextSeen != kNone;
        if (bClosed && nextSeen - lastSeen - 1 <= kStuckStretchCells) {
            for (std::size_t i = first; i <= last; ++i)
                if (axis.cells[i] == SweepCell::Waiting)
                    faults.push_back(FaultAt(which, SweepPart::Stuck, i, i, axis.nModuleCell));
        } else {
            faults.push_back(FaultAt(which, SweepPart::NotSwept, first, last, axis.nModuleCell));
        }
        first = kNone;
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (axis.cells[i] == SweepCell::Seen) {
            close(i);
            lastSeen = i;
        } else if (axis.cells[i] == SweepCell::Waiting) {
            if (first == kNone) first = i;
            last = i;
        }
    }
    close(kNone);
}

SweepResult Sweep::Result(double now) const {
    SweepResult result;
    if (!error_.empty()) {
        result.error = error_;
        return result;
    }
    if (!Ended(now)) {
        result.error = "the sweep has not ended";
        return result;
    }
    bool bAnySeen = false, bAnyExpected = false;
    for (const AxisState& a : axes_) {
        bAnySeen = bAnySeen || a.nSeen > 0;
        bAnyExpected = bAnyExpected || (a.bMeasured && a.nExpected > 0);
    }
    for (Axis which : {Axis::X, Axis::Y}) {
        const AxisState& a = axes_[static_cast<int>(which)];
        if (!a.bMeasured) continue;
        std::vector<SweepFault> axisFaults;
        for (std::size_t i = 0; i < a.cells.size(); ++i)
            if (a.cells[i] == SweepCell::Low) axisFaults.push_back(FaultAt(which, SweepPart::Low, i, i, a.nModuleCell));
        if (bAnySeen) {
            AddFaults(a, which, axisFaults);
        } else if (bAnyExpected && a.nExpected > 0) {
            SweepFault none;
            none.axis = which;
            none.part = SweepPart::NoSweep;
            none.set = set_;
            axisFaults.push_back(none);
        }
        std::stable_sort(axisFaults.begin(), axisFaults.end(),
                         [](const SweepFault& l, const SweepFault& r) { return l.from < r.from; });
        result.faults.insert(result.faults.end(), axisFaults.begin(), axisFaults.end());
    }
    result.verdict = result.faults.empty() ? Verdict::Pass : Verdict::Fail;
    return result;
}

std::string SweepFaultText(const SweepFault& f, bool bPlace) {
    std::string text = std::string(AxisName(f.axis)) + " " + SweepPartName(f.part);
    if (f.set != BeamSet::OT) text += std::string(" ") + BeamSetName(f.set);
    switch (f.part) {
        case SweepPart::NotSwept:
            text += " R:" + Number(f.from);
            if (f.to != f.from) text += "-R:" + Number(f.to);
            break;
        case SweepPart::Stuck:
        case SweepPart::Low:
            text += " R:" + Number(f.from);
            if (bPlace) text += "  " + PlaceText("R", f.module, f.position);
            break;
        case SweepPart::NoSweep: break;
    }
    return text;
}

std::vector<reports::StatusLine> SweepStatusLines(const SweepResult& result) {
    std::vector<reports::StatusLine> lines;
    for (const SweepFault& f : result.faults)
        lines.push_back({SweepFaultText(f), f.axis == Axis::X ? reports::kStatusRed : reports::kStatusBlue});
    std::string verdict = result.verdict == Verdict::Pass   ? "PASS"
                          : result.verdict == Verdict::Fail ? "FAIL"
                                                            : "ERROR: " + result.error;
    lines.push_back({verdict, reports::kStatusRed});
    return lines;
}

std::string SweepProgressText(const SweepProgress& progress) {
    std::string text;
    if (progress.set != BeamSet::OT) text = std::string(BeamSetName(progress.set)) + "  ";
    std::string palm;
    for (Axis which : {Axis::X, Axis::Y}) {
        const SweepAxisProgress& a = progress.axes[static_cast<int>(which)];
        if (!a.bMeasured) continue;
        text += std::string(AxisName(which)) + " " + Number(static_cast<long long>(a.nSeen)) + "/" +
                Number(static_cast<long long>(a.nExpected)) + "  ";
        if (a.bPalm) palm += palm.empty() ? AxisName(which) : std::string(", ") + AxisName(which);
    }
    // Whole seconds, rounded up: "0 s left" only when the time is up.
    text += Number(static_cast<long long>(std::ceil(progress.secondsLeft))) + " s left";
    if (!palm.empty()) text += "  (palm on " + palm + ": packet ignored)";
    return text;
}

}  // namespace check
