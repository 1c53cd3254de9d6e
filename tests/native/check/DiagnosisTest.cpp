#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "check/Diagnosis.h"

namespace {

using namespace check;

// A frame as light sees it: every beam reads the level unless its receiver or
// its LED is dead, the beam is weakened, or the set is dark on the axis. Beams
// whose LED lies past the axis read half the level, as the substitute fades them.
struct Beam {
    Axis axis;
    BeamSet set;
    int r;
    double factor;
};
struct Model {
    FrameGeometry geometry;
    std::vector<std::pair<Axis, int>> deadLeds{}, deadReceivers{};
    std::vector<Beam> weak{};
    std::vector<std::pair<Axis, BeamSet>> dark{};
    std::vector<Beam> flicker{};  // the beam swings by factor x level over the packets
    int level = 96;
};

int Offset(const AxisGeometry& g, BeamSet set) {
    switch (set) {
        case BeamSet::TL1: return static_cast<int>(g.nTilt1);
        case BeamSet::TR1: return -static_cast<int>(g.nTilt1) - 1;
        case BeamSet::TL2: return static_cast<int>(g.nTilt2);
        case BeamSet::TR2: return -static_cast<int>(g.nTilt2) - 1;
        default: return 0;
    }
}

template <class T, class U>
bool Has(const std::vector<T>& list, const U& item) {
    for (const T& t : list)
        if (t == item) return true;
    return false;
}

std::uint8_t Byte(const Model& m, Axis axis, BeamSet set, int r, int packet) {
    const AxisGeometry& g = m.geometry[axis];
    const int s = r + Offset(g, set);
    if (Has(m.dark, std::make_pair(axis, set)) || Has(m.deadReceivers, std::make_pair(axis, r))) return 0;
    double v = (s < 0 || s > static_cast<int>(g.nCells)) ? m.level / 2.0 : m.level;
    if (Has(m.deadLeds, std::make_pair(axis, s))) v = 0;
    for (const Beam& b : m.weak)
        if (b.axis == axis && b.set == set && b.r == r) v *= b.factor;
    for (const Beam& b : m.flicker)
        if (b.axis == axis && b.set == set && b.r == r && packet % 2 == 1) v -= b.factor * m.level;
    if (v > 0) v += packet % 3 - 1;  // noise the medians see through
    return static_cast<std::uint8_t>(v < 0 ? 0 : v);
}

std::vector<SetMeasurement> Measure(const Model& m, unsigned nChosen, int nPackets = 5) {
    std::vector<SetMeasurement> sets;
    for (BeamSet set : PlanBeamSets(m.geometry, nChosen).requested) {
        SetMeasurement measured{set, {}};
        for (int p = 0; p < nPackets; ++p) {
            std::vector<std::uint8_t> bytes;
            for (Axis axis : {Axis::X, Axis::Y})
                for (int r = 1; r <= static_cast<int>(m.geometry[axis].nCells); ++r)
                    bytes.push_back(Byte(m, axis, set, r, p));
            measured.packets.push_back(bytes);
        }
        sets.push_back(measured);
    }
    return sets;
}

// The part with the modules and positions the technician reads.
std::string Describe(const Fault& f) {
    std::string text = PartText(f);
    if (f.ledModule) text += " S(" + std::to_string(*f.ledModule) + ")(" + std::to_string(*f.ledPosition) + ")";
    if (f.receiverModule)
        text += " R(" + std::to_string(*f.receiverModule) + ")(" + std::to_string(*f.receiverPosition) + ")";
    return text;
}

FrameGeometry Geometry(AxisGeometry x, AxisGeometry y = {24, 8, 2, 4}) { return {x, y}; }

TEST(Diagnosis, NamesThePartAcrossBeamSets) {
    struct Case {
        const char* what;
        Model model;
        unsigned nChosen;
        DiagnosisSettings settings;
        std::vector<std::string> parts;
    };
    const AxisGeometry x40{40, 16, 3, 5};
    DiagnosisSettings flicker;
    flicker.flickerPercent = 20;
    DiagnosisSettings minLevel;
    minLevel.minLevel = 2000;
    DiagnosisSettings atFloor;  // the weak beam below reads 48 x 40 = 1920
    atFloor.minLevel = 1920;
    DiagnosisSettings aboveFloor;
    aboveFloor.minLevel = 1960;
    const Case cases[] = {
        {"sound frame", {Geometry(x40)}, kAllBeamSets, {}, {}},
        {"dead LEDs near both ends, tilts 3 and 5",
         {Geometry(x40), {{Axis::X, 1}, {Axis::X, 2}, {Axis::X, 39}, {Axis::X, 40}}},
         kAllBeamSets,
         {},
         {"X led S:1 S(1)(1)", "X led S:2 S(1)(2)", "X led S:39 S(3)(7)", "X led S:40 S(3)(8)"}},
        {"LED 0 is reached on TR1 and TR2 only",
         {Geometry(x40), {{Axis::X, 0}}},
         kAllBeamSets,
         {},
         {"X led S:0 S(0)(0)"}},
        {"LED 0 with one tilted set is a single beam",
         {Geometry({40, 16, 3, 0}), {{Axis::X, 0}}},
         kAllBeamSets,
         {},
         {"X beam TR1 S:0 R:4 S(0)(0) R(1)(4)"}},
        {"dead receivers mid-axis and at both ends",
         {Geometry(x40), {}, {{Axis::X, 1}, {Axis::X, 20}, {Axis::X, 40}, {Axis::Y, 24}}},
         kAllBeamSets,
         {},
         {"X receiver R:1 R(1)(1)", "X receiver R:20 R(2)(4)", "X receiver R:40 R(3)(8)", "Y receiver R:24 R(3)(0)"}},
        {"module boundary",
         {Geometry(x40), {{Axis::X, 17}}, {{Axis::X, 16}}},
         kAllBeamSets,
         {},
         {"X receiver R:16 R(1)(0)", "X led S:17 S(2)(1)"}},
        {"an LED and a receiver sharing a beam are both named",
         {Geometry(x40), {{Axis::X, 20}}, {{Axis::X, 20}}},
         kAllBeamSets,
         {},
         {"X receiver R:20 R(2)(4)", "X led S:20 S(2)(4)"}},
        {"two dead receivers seeing one LED leave the LED alone",
         {Geometry({40, 16, 3, 0}), {}, {{Axis::X, 35}, {Axis::X, 38}}},
         kAllBeamSets,
         {},
         {"X receiver R:35 R(3)(3)", "X receiver R:38 R(3)(6)"}},
        {"weak beam",
         {Geometry(x40), {}, {}, {{Axis::X, BeamSet::TL1, 20, 0.2}}},
         kAllBeamSets,
         {},
         {"X beam TL1 S:23 R:20 S(2)(7) R(2)(4)"}},
        {"a beam weak on OT only",
         {Geometry(x40), {}, {}, {{Axis::Y, BeamSet::OT, 9, 0.1}}},
         kAllBeamSets,
         {},
         {"Y beam OT S:9 R:9 S(2)(1) R(2)(1)"}},
        {"OT only: LED or receiver",
         {Geometry({40, 0, 0, 0}, {24, 0, 0, 0}), {{Axis::X, 7}}, {{Axis::Y, 3}}},
         kAllBeamSets,
         {},
         {"X led-or-receiver OT S:7 R:7 S(1)(7) R(1)(7)", "Y led-or-receiver OT S:3 R:3 S(1)(3) R(1)(3)"}},
        {"--axes OT alone",
         {Geometry(x40), {{Axis::X, 7}}},
         BeamSetBit(BeamSet::OT),
         {},
         {"X led-or-receiver OT S:7 R:7 S(1)(7) R(1)(7)"}},
        {"tilt 0 on Y only",
         {Geometry(x40, {24, 8, 0, 0}), {}, {{Axis::X, 30}, {Axis::Y, 5}}},
         kAllBeamSets,
         {},
         {"X receiver R:30 R(2)(14)", "Y led-or-receiver OT S:5 R:5 S(1)(5) R(1)(5)"}},
        {"a dark set fails and the others still diagnose",
         {Geometry(x40), {}, {{Axis::X, 25}}, {}, {{Axis::X, BeamSet::TL1}}},
         kAllBeamSets,
         {},
         {"X axis-dark TL1", "X receiver R:25 R(2)(9)"}},
        {"flicker above 20 % of the median",
         {Geometry(x40), {}, {}, {}, {}, {{Axis::X, BeamSet::TR2, 12, 0.3}, {Axis::Y, BeamSet::OT, 2, 0.1}}},
         kAllBeamSets,
         flicker,
         {"X flicker TR2 S:6 R:12 S(1)(6) R(1)(12)"}},
        {"below the absolute floor",
         {Geometry({8, 0, 0, 0}, {4, 0, 0, 0}), {}, {}, {{Axis::X, BeamSet::OT, 3, 0.5}}},
         kAllBeamSets,
         minLevel,
         {"X below-min OT S:3 R:3 S(1)(3) R(1)(3)"}},
        {"a beam exactly at the floor is not below it",
         {Geometry({8, 0, 0, 0}, {4, 0, 0, 0}), {}, {}, {{Axis::X, BeamSet::OT, 3, 0.5}}},
         kAllBeamSets,
         atFloor,
         {}},
        {"a beam 40 below the floor is",
         {Geometry({8, 0, 0, 0}, {4, 0, 0, 0}), {}, {}, {{Axis::X, BeamSet::OT, 3, 0.5}}},
         kAllBeamSets,
         aboveFloor,
         {"X below-min OT S:3 R:3 S(1)(3) R(1)(3)"}},
        // Equal tilts: TL1 and TL2 join LED 20 to the same receiver, so two
        // dark sets there are one LED's one path, not a dead receiver.
        {"equal tilts, TL1 and TL2 only",
         {Geometry({40, 16, 3, 3}, {24, 8, 3, 3}), {{Axis::X, 20}}},
         BeamSetBit(BeamSet::TL1) | BeamSetBit(BeamSet::TL2),
         {},
         {"X beam TL1 S:20 R:17 S(2)(4) R(2)(1)", "X beam TL2 S:20 R:17 S(2)(4) R(2)(1)"}},
    };
    for (const Case& c : cases) {
        DiagnosisSettings settings = c.settings;
        settings.nChosenSets = c.nChosen;
        const FrameVerdict v = Diagnose("F", 3, c.model.geometry, settings, Measure(c.model, c.nChosen));
        std::vector<std::string> parts;
        for (const Fault& f : v.faults) parts.push_back(Describe(f));
        EXPECT_EQ(parts, c.parts) << c.what;
        EXPECT_EQ(v.error, "") << c.what;
        EXPECT_EQ(v.verdict(), c.parts.empty() ? Verdict::Pass : Verdict::Fail) << c.what;
    }
}

TEST(Diagnosis, PlanFollowsTheTiltsOfEitherAxis) {
    const BeamSetPlan plan = PlanBeamSets(Geometry({40, 16, 3, 0}, {24, 8, 0, 4}));
    EXPECT_EQ(plan.requested,
              (std::vector<BeamSet>{BeamSet::OT, BeamSet::TL1, BeamSet::TR1, BeamSet::TL2, BeamSet::TR2}));
    EXPECT_TRUE(plan.IsAnalysed(Axis::X, BeamSet::TR1));
    EXPECT_FALSE(plan.IsAnalysed(Axis::X, BeamSet::TL2));
    EXPECT_FALSE(plan.IsAnalysed(Axis::Y, BeamSet::TL1));
    EXPECT_TRUE(plan.IsAnalysed(Axis::Y, BeamSet::TR2));

    const BeamSetPlan flat = PlanBeamSets(Geometry({40, 16, 0, 0}, {24, 8, 0, 0}));
    EXPECT_EQ(flat.requested, std::vector<BeamSet>{BeamSet::OT});
    const BeamSetPlan chosen =
        PlanBeamSets(Geometry({40, 16, 3, 0}), BeamSetBit(BeamSet::OT) | BeamSetBit(BeamSet::TL2));
    EXPECT_EQ(chosen.requested, (std::vector<BeamSet>{BeamSet::OT, BeamSet::TL2}));
    EXPECT_FALSE(chosen.IsAnalysed(Axis::X, BeamSet::TL2));
}

TEST(Diagnosis, AnIncompleteCheckIsAnErrorNeverAPass) {
    const Model m{Geometry({40, 16, 3, 5})};
    std::vector<SetMeasurement> sets = Measure(m, kAllBeamSets);
    const auto verdictOf = [&](const FrameGeometry& g, const std::vector<SetMeasurement>& measured,
                               unsigned nChosen = kAllBeamSets) {
        DiagnosisSettings settings;
        settings.nChosenSets = nChosen;
        return Diagnose("F", 1, g, settings, measured);
    };
    EXPECT_EQ(verdictOf(m.geometry, sets).verdict(), Verdict::Pass);

    std::vector<SetMeasurement> missing(sets.begin(), sets.end() - 1);
    FrameVerdict v = verdictOf(m.geometry, missing);
    EXPECT_EQ(v.error, "no packet of beam set TR2");
    EXPECT_EQ(v.sets.size(), 8u);  // the measured sets are still shown

    std::vector<SetMeasurement> shortPacket = sets;
    shortPacket[1].packets[2].pop_back();
    EXPECT_EQ(verdictOf(m.geometry, shortPacket).error,
              "a packet of beam set TL1 holds 63 receiver bytes, the frame has 40 + 24");

    EXPECT_EQ(verdictOf(Geometry({0, 0, 0, 0}), {}).error, "the frame reports 0 cells on X: nothing to measure");
    EXPECT_EQ(verdictOf(Geometry({40, 16, 3, 0}, {24, 8, 0, 0}), sets, BeamSetBit(BeamSet::TL1)).error,
              "no chosen beam set applies to Y (tilt 1 0, tilt 2 0): add OT");
}

// Every order of 3 to 8 distinct values, one receiver per order: the median,
// low and high are those of a plain sort whatever order the packets came in.
TEST(Diagnosis, MedianLowAndHighDoNotDependOnThePacketOrder) {
    for (std::size_t n = 3; n <= 8; ++n) {
        std::vector<std::uint8_t> order(n);
        for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint8_t>(10 * (i + 1));
        std::vector<std::vector<std::uint8_t>> packets(n);
        std::size_t receivers = 0;
        do {
            for (std::size_t p = 0; p < n; ++p) packets[p].push_back(order[p]);
            ++receivers;
        } while (std::next_permutation(order.begin(), order.end()));
        const ReceiverStats stats = MedianOverPackets(packets, 0, receivers);
        std::size_t wrong = 0;
        for (std::size_t r = 0; r < receivers; ++r)
            wrong += stats.median[r] != 10 * ((n - 1) / 2 + 1) || stats.low[r] != 10 || stats.high[r] != 10 * n;
        EXPECT_EQ(wrong, 0u) << "of " << receivers << " orders of " << n << " packets";
    }
}

TEST(Diagnosis, MedianIsTheLowerMiddleValue) {
    struct Case {
        std::vector<std::uint8_t> values;
        int median, low, high;
    };
    // Beyond 32 packets the medians are taken receiver by receiver.
    std::vector<std::uint8_t> many, odd;
    for (int i = 0; i < 34; ++i) many.push_back(static_cast<std::uint8_t>(i * 7 % 34 + 1));
    odd.assign(many.begin(), many.end() - 1);
    for (const Case& c :
         {Case{{7}, 7, 7, 7}, Case{{9, 1, 5}, 5, 1, 9}, Case{{4, 1, 3, 2}, 2, 1, 4}, Case{{200, 0, 200, 0}, 0, 0, 200},
          Case{{3, 3, 8, 1, 3, 255}, 3, 1, 255}, Case{many, 17, 1, 34}, Case{odd, 17, 1, 34}}) {
        std::vector<std::vector<std::uint8_t>> packets;
        for (std::uint8_t v : c.values) packets.push_back({0xEE, v});  // receiver 1 of each packet
        const ReceiverStats stats = MedianOverPackets(packets, 1, 1);
        EXPECT_EQ(stats.median[0], c.median) << c.values.size() << " packets";
        EXPECT_EQ(stats.low[0], c.low);
        EXPECT_EQ(stats.high[0], c.high);
    }
}

}  // namespace
