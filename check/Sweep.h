// The sweep test of one beam set: is every beam seen interrupted when a stylus
// passes along the edges? A baseline of untouched packets, then packets with
// the caller's time stamps until every expected receiver has dropped or the
// time limit has passed. Portable: the console tool and the window program
// request the packets and keep their own clocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/Diagnosis.h"
#include "reports/LedCheck.h"

namespace check {

struct SweepSettings {
    double dropPercent = 50.0;       // --drop: interrupted below this share of the baseline
    double timeLimitSeconds = 30.0;  // --time-limit, from the prompt
    int nThresholdPercent = 33;      // MIN_ADC_O_PER: below the LED check's cutline a receiver is low
};

enum class SweepPart { Stuck, NotSwept, NoSweep, Low };
// "stuck", "not-swept", "no-sweep", "low".
const char* SweepPartName(SweepPart part);

// Receivers as the LED check prints them: R is the index + 1, its module and
// position as the LED check counts them.
struct SweepFault {
    Axis axis = Axis::X;
    SweepPart part = SweepPart::Stuck;
    BeamSet set = BeamSet::OT;
    long long from = 0;    // R of a stuck or low receiver, first R of a not-swept stretch; 0 for no-sweep
    long long to = 0;      // last R of a not-swept stretch; == from otherwise
    long long module = 0;  // of `from`
    long long position = 0;
};

// Where a receiver stands, for the strips of the window.
enum class SweepCell : std::uint8_t {
    NotMeasured,  // its axis is not measured on the set, or its beam has no LED there
    Low,          // below the cutline in the baseline: not expected to drop
    Waiting,      // expected, not yet seen interrupted
    Seen,
};

struct SweepAxisProgress {
    bool bMeasured = false;
    std::size_t nExpected = 0;  // receivers expected to drop
    std::size_t nSeen = 0;
    // The latest packet had more than a third of the expected receivers low at
    // once (a palm, not a stylus) and counted for nothing on this axis.
    bool bPalm = false;
};

struct SweepProgress {
    BeamSet set = BeamSet::OT;
    SweepAxisProgress axes[2];  // [Axis]
    double secondsLeft = 0.0;
    bool bComplete = false;  // every expected receiver of every measured axis seen
};

struct SweepResult {
    Verdict verdict = Verdict::Error;
    std::vector<SweepFault> faults;  // low first, then stuck / not-swept in receiver order; X then Y
    std::string error;               // for Verdict::Error
};

class Sweep {
public:
    // One beam set of a frame. A geometry the check cannot measure, or a set
    // that applies to neither axis, leaves an error() and ends in Verdict::Error.
    Sweep(const FrameGeometry& geometry, BeamSet set, const SweepSettings& settings = {});

    const std::string& error() const { return error_; }
    BeamSet set() const { return set_; }

    // An untouched packet: X receiver bytes then Y receiver bytes, as a packet
    // carries them after its header (bytes past X + Y are ignored).
    void AddBaselinePacket(const std::uint8_t* pReceivers, std::size_t nBytes);
    // Takes the median per receiver of the baseline packets, finds the low
    // receivers and starts the time limit at `now` (seconds, the caller's
    // clock). False, with error(), without a baseline packet or on a short one.
    bool StartSweep(double now);

    // A packet at time `at`: one pass over its receivers, no allocation. A
    // packet after the end (complete, or at or past the time limit) changes
    // nothing; a short one is an error.
    void AddPacket(const std::uint8_t* pReceivers, std::size_t nBytes, double at);

    bool Started() const { return bStarted_; }
    bool Ended(double now) const;
    SweepProgress Progress(double now) const;
    // The verdict once Ended (PASS only with no fault at all); before that, or
    // before StartSweep, an error saying the sweep has not ended.
    SweepResult Result(double now) const;

    std::size_t Cells(Axis axis) const { return axes_[static_cast<int>(axis)].cells.size(); }
    SweepCell CellOf(Axis axis, std::size_t index) const { return axes_[static_cast<int>(axis)].cells[index]; }
    std::uint8_t BaselineOf(Axis axis, std::size_t index) const {
        return axes_[static_cast<int>(axis)].baseline[index];
    }

private:
    struct AxisState {
        bool bMeasured = false;
        unsigned nModuleCell = 0;
        std::vector<SweepCell> cells;
        std::vector<std::uint8_t> baseline;
        std::vector<std::uint8_t> limit;     // a byte below it is interrupted; 0 for receivers not expected
        std::vector<std::uint32_t> dropped;  // scratch: the receivers low in the current packet
        std::size_t nExpected = 0;
        std::size_t nSeen = 0;
        bool bPalm = false;
    };
    void Analyse(AxisState& axis, Axis which, const std::vector<std::uint8_t>& median);
    void UpdateAxis(AxisState& axis, const std::uint8_t* pBytes);
    void AddFaults(const AxisState& axis, Axis which, std::vector<SweepFault>& faults) const;
    SweepFault FaultAt(Axis which, SweepPart part, std::size_t from, std::size_t to, unsigned nModuleCell) const;
    bool Complete() const;

    FrameGeometry geometry_;
    BeamSet set_;
    SweepSettings settings_;
    std::string error_;
    AxisState axes_[2];
    std::vector<std::vector<std::uint8_t>> baselinePackets_;
    bool bStarted_ = false;
    double startedAt_ = 0.0;
};

// The wording both programs show, e.g. "X stuck R:34  R module 4 position 4",
// "Y not-swept R:1-R:6", "X no-sweep"; a tilted set follows the part
// ("X stuck TL1 R:34"). bPlace adds the module and position of a stuck or low
// receiver; the log's words leave them out ("X stuck R:34").
std::string SweepFaultText(const SweepFault& fault, bool bPlace = true);

// The status box's lines of a verdict: one per fault in the LED check's axis
// colours (X red, Y blue), then "PASS" or "FAIL" (or "ERROR: reason").
std::vector<reports::StatusLine> SweepStatusLines(const SweepResult& result);

// The progress line, e.g. "X 87/96  Y 60/64  12 s left", with
// "  (X: palm ignored)" after a packet the palm rule ignored; a tilted set
// leads with its name ("TL1  X 87/93 ...").
std::string SweepProgressText(const SweepProgress& progress);

}  // namespace check
