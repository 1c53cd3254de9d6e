// The unattended frame check's verdict: which beam sets a frame is measured
// on, one median sample per receiver and set, the LED check's analysis of each
// set, and the diagnosis across the sets that names the faulty part: a
// receiver, an LED, a single beam, or (with one set only) an LED or receiver.
// Portable: the console program only requests the sets and collects packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "reports/LedCheck.h"

namespace check {

// Beam sets in request order; the value times kDumpAxisStep is the dump-axis code.
enum class BeamSet : int { OT = 0, TL1 = 1, TR1 = 2, TL2 = 3, TR2 = 4 };
constexpr int kBeamSetCount = 5;
constexpr BeamSet kBeamSets[kBeamSetCount] = {BeamSet::OT, BeamSet::TL1, BeamSet::TR1, BeamSet::TL2, BeamSet::TR2};
constexpr unsigned BeamSetBit(BeamSet set) { return 1u << static_cast<int>(set); }
constexpr unsigned kAllBeamSets = 0x1F;
// The dump-axis code of the request byte (upper nibble), as the LED check numbers it.
constexpr int DumpAxisCode(BeamSet set) { return static_cast<int>(set) * kDumpAxisStep; }
static_assert(DumpAxisCode(BeamSet::TR2) == DUMP_AXIS_TR2, "beam sets follow the dump-axis codes");
// "OT", "TL1", "TR1", "TL2", "TR2".
const char* BeamSetName(BeamSet set);
// The set of a name, upper or lower case; nothing for any other text.
std::optional<BeamSet> BeamSetFromName(std::string_view name);

enum class Axis : int { X = 0, Y = 1 };
const char* AxisName(Axis axis);  // "X", "Y"

struct AxisGeometry {
    unsigned nCells = 0;       // receivers; LEDs are numbered 0..nCells as the LED check prints S
    unsigned nModuleCell = 0;  // cells per module, 0 = not divided
    unsigned nTilt1 = 0;       // offset of TL1/TR1, 0 = the axis has no such set
    unsigned nTilt2 = 0;       // offset of TL2/TR2
};

struct FrameGeometry {
    AxisGeometry x;
    AxisGeometry y;
    const AxisGeometry& operator[](Axis axis) const { return axis == Axis::X ? x : y; }
};

// Counts, modules and tilts 1 and 2 of the record a device click reads.
FrameGeometry GeometryOf(const quorvane::FrameSettings& settings);

// The sets to request from a frame and, per axis, those its diagnosis uses.
// OT is always analysed; a tilted set only on an axis whose tilt of that set
// is above 0 (with tilt 0 it repeats OT's pairs and proves nothing) and only
// if chosen. A set no axis analyses is not requested.
struct BeamSetPlan {
    std::vector<BeamSet> requested;
    bool analysed[2][kBeamSetCount] = {};  // [axis][set]
    // Not empty when the frame cannot be checked as asked (an axis of 0 cells,
    // or no chosen set applies to an axis): a measurement error, not a pass.
    std::string error;
    bool IsAnalysed(Axis axis, BeamSet set) const { return analysed[static_cast<int>(axis)][static_cast<int>(set)]; }
};
BeamSetPlan PlanBeamSets(const FrameGeometry& geometry, unsigned nChosenSets = kAllBeamSets);

struct DiagnosisSettings {
    int nThresholdPercent = 33;            // MIN_ADC_O_PER
    unsigned nChosenSets = kAllBeamSets;   // --axes
    std::optional<double> flickerPercent;  // --flicker
    std::optional<unsigned> minLevel;      // --min-level, in signal units (byte x 40)
};

// The packets of one requested set: each holds the receiver bytes as the
// packet carries them after its header, X receivers then Y receivers. Bytes
// past X + Y are ignored; a shorter packet is a measurement error.
struct SetMeasurement {
    BeamSet set = BeamSet::OT;
    std::vector<std::vector<std::uint8_t>> packets;
};

// Median, lowest and highest byte of each receiver over the packets; the
// median of an even count is the lower middle value.
struct ReceiverStats {
    std::vector<std::uint8_t> median;
    std::vector<std::uint8_t> low;
    std::vector<std::uint8_t> high;
};
// Receivers [nFirst, nFirst + nCount) of the packets (every packet holds them).
ReceiverStats MedianOverPackets(const std::vector<std::vector<std::uint8_t>>& packets, std::size_t nFirst,
                                std::size_t nCount);

enum class Part { AxisDark, Receiver, Led, Beam, LedOrReceiver, Flicker, BelowMin };
// "axis-dark", "receiver", "led", "beam", "led-or-receiver", "flicker", "below-min".
const char* PartName(Part part);

// A faulty part. Numbers that do not apply to the part are empty: a receiver
// has no LED and no set, an LED no receiver and no set, a dark axis neither.
struct Fault {
    Axis axis = Axis::X;
    Part part = Part::Beam;
    std::optional<BeamSet> set;
    std::optional<long long> led;       // S
    std::optional<long long> receiver;  // R
    std::optional<long long> ledModule;
    std::optional<long long> ledPosition;
    std::optional<long long> receiverModule;
    std::optional<long long> receiverPosition;
    // Signal units (byte x 40): the median of the beam; for a receiver or an
    // LED the highest median of its beams; 0 for a dark axis.
    long long level = 0;
    long long spread = 0;  // flicker: (highest - lowest) x 40 over the packets
};

// The LED check's analysis of one set on one axis, on the medians.
struct SetResult {
    Axis axis = Axis::X;
    BeamSet set = BeamSet::OT;
    bool bDark = false;  // every median 0: the LED check skips the axis
    float fAverage = 0.0f;
    long long nCutline = 0;
    std::vector<reports::LedFinding> low;  // the receivers the LED check lists
};

enum class Verdict { Pass, Fail, Error };
const char* VerdictName(Verdict verdict);  // "pass", "fail", "error"

struct FrameVerdict {
    std::string name;      // UTF-8; for a --frame that matched no listed frame, its value
    int nUsbIndexNo = -1;  // -1: no listed frame matched (the verdict is then an error)
    FrameGeometry geometry;
    std::vector<SetResult> sets;  // analysed and measured, X sets first, each axis in set order
    std::vector<Fault> faults;    // per axis in the diagnosis' order
    // A measurement error (set by Diagnose for a plan it cannot follow or a
    // missing set; the program sets its own, e.g. a timeout): the verdict is
    // then "error", never a pass or a plain fail.
    std::string error;
    // Why the check was less than the frame may hold (e.g. its geometry answer
    // failed, so only OT was measured); empty when complete.
    std::string reduced;
    Verdict verdict() const {
        if (!error.empty()) return Verdict::Error;
        return faults.empty() ? Verdict::Pass : Verdict::Fail;
    }
};

// The verdict of one frame from the packets of its requested sets (see
// PlanBeamSets). A requested set without packets, or a packet too short for
// the frame's counts, makes the verdict an error; sets not requested are ignored.
FrameVerdict Diagnose(const std::string& name, int nUsbIndexNo, const FrameGeometry& geometry,
                      const DiagnosisSettings& settings, const std::vector<SetMeasurement>& measured);

}  // namespace check
