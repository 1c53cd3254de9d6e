// The sweep test's decisions: baseline, the drop, the palm rule, stuck versus
// not-swept versus no-sweep, the time limit, and how receivers are named.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "check/Sweep.h"

using namespace check;

namespace {

constexpr std::uint8_t kLevel = 60;

FrameGeometry Geometry(unsigned nx, unsigned ny, unsigned module = 0, unsigned tiltX = 0, unsigned tiltY = 0) {
    FrameGeometry g;
    g.x = {nx, module, tiltX, 0};
    g.y = {ny, module, tiltY, 0};
    return g;
}

// Receiver bytes of a packet: every receiver at kLevel.
struct Packet {
    std::vector<std::uint8_t> bytes;
    unsigned nx;
    Packet(const FrameGeometry& g) : bytes(g.x.nCells + g.y.nCells, kLevel), nx(g.x.nCells) {}
    Packet& X(std::size_t i, std::uint8_t v) {
        bytes[i] = v;
        return *this;
    }
    Packet& Y(std::size_t i, std::uint8_t v) {
        bytes[nx + i] = v;
        return *this;
    }
};

// A sweep with a baseline of three untouched packets, started at time 0.
Sweep Started(const FrameGeometry& g, const SweepSettings& settings = {}, BeamSet set = BeamSet::OT) {
    Sweep sweep(g, set, settings);
    for (int i = 0; i < 3; ++i) sweep.AddBaselinePacket(Packet(g).bytes.data(), Packet(g).bytes.size());
    EXPECT_TRUE(sweep.StartSweep(0.0)) << sweep.error();
    return sweep;
}

void Feed(Sweep& sweep, const Packet& p, double at = 1.0) { sweep.AddPacket(p.bytes.data(), p.bytes.size(), at); }

// Lowers each listed X receiver in a packet of its own (the stylus passing).
void SeeX(Sweep& sweep, const FrameGeometry& g, const std::vector<std::size_t>& receivers) {
    for (std::size_t i : receivers) Feed(sweep, Packet(g).X(i, 1));
}
void SeeY(Sweep& sweep, const FrameGeometry& g, const std::vector<std::size_t>& receivers) {
    for (std::size_t i : receivers) Feed(sweep, Packet(g).Y(i, 1));
}

std::vector<std::size_t> Range(std::size_t from, std::size_t to) {  // [from, to)
    std::vector<std::size_t> r;
    for (std::size_t i = from; i < to; ++i) r.push_back(i);
    return r;
}

std::vector<std::string> Words(const SweepResult& result) {
    std::vector<std::string> words;
    for (const SweepFault& f : result.faults) words.push_back(SweepFaultText(f, false));
    return words;
}

}  // namespace

// The median of the baseline packets decides, so one odd packet does not; a
// receiver below the LED check's cutline, or dark, is low and not expected.
TEST(Sweep, BaselineFindsLowReceiversAndExpectsTheRest) {
    const FrameGeometry g = Geometry(20, 10);
    Sweep sweep(g, BeamSet::OT);
    sweep.AddBaselinePacket(Packet(g).X(4, 2).X(7, 15).X(8, 0).bytes.data(), 30);
    sweep.AddBaselinePacket(Packet(g).X(7, 15).X(8, 0).Y(3, 21).bytes.data(), 30);
    sweep.AddBaselinePacket(Packet(g).X(7, 15).X(8, 0).Y(3, 21).bytes.data(), 30);
    ASSERT_TRUE(sweep.StartSweep(0.0));
    EXPECT_EQ(sweep.BaselineOf(Axis::X, 4), kLevel);
    // X's cutline: 33 % of the average of its nonzero receivers, 760.
    EXPECT_EQ(sweep.CellOf(Axis::X, 7), SweepCell::Low);      // 15 x 40 = 600 < 760
    EXPECT_EQ(sweep.CellOf(Axis::X, 8), SweepCell::Low);      // dark
    EXPECT_EQ(sweep.CellOf(Axis::Y, 3), SweepCell::Waiting);  // 21 x 40 = 840 above Y's cutline
    const SweepProgress p = sweep.Progress(0.0);
    EXPECT_EQ(p.axes[0].nExpected, 18u);
    EXPECT_EQ(p.axes[1].nExpected, 10u);

    SeeX(sweep, g, Range(0, 20));
    SeeY(sweep, g, Range(0, 10));
    EXPECT_TRUE(sweep.Ended(1.0));  // every expected receiver seen: no need to wait
    const SweepResult r = sweep.Result(1.0);
    EXPECT_EQ(r.verdict, Verdict::Fail);  // the low receivers are faults, as in the check
    EXPECT_EQ(Words(r), (std::vector<std::string>{"X low R:8", "X low R:9"}));

    Sweep none(g, BeamSet::OT);
    EXPECT_FALSE(none.StartSweep(0.0));
    EXPECT_EQ(none.error(), "no baseline packet");
    Sweep shortOne(g, BeamSet::OT);
    shortOne.AddBaselinePacket(Packet(g).bytes.data(), 29);
    EXPECT_FALSE(shortOne.StartSweep(0.0));
    EXPECT_EQ(shortOne.Result(1e9).verdict, Verdict::Error);
}

// Interrupted means below the drop share of the baseline: exactly at it is not.
TEST(Sweep, DropBoundary) {
    struct Case {
        double drop;
        std::uint8_t value;
        bool seen;
    };
    for (const Case& c : {Case{50, 30, false}, Case{50, 29, true}, Case{33.3, 20, false}, Case{33.3, 19, true},
                          Case{100, 59, true}, Case{100, 60, false}, Case{1, 0, true}, Case{1, 1, false}}) {
        const FrameGeometry g = Geometry(10, 10);
        SweepSettings settings;
        settings.dropPercent = c.drop;
        Sweep sweep = Started(g, settings);
        Feed(sweep, Packet(g).X(5, c.value));
        EXPECT_EQ(sweep.CellOf(Axis::X, 5) == SweepCell::Seen, c.seen) << c.drop << "% " << int(c.value);
    }
}

// More than a third of an axis low at once counts for nothing on that axis
// (and says so), exactly a third still counts; the other axis is unaffected.
TEST(Sweep, PalmRuleBoundaryIsAThird) {
    const FrameGeometry g = Geometry(30, 12);
    Sweep sweep = Started(g);
    Packet third(g);
    for (std::size_t i = 0; i < 10; ++i) third.X(i, 1);
    third.Y(0, 1);
    Feed(sweep, third);
    SweepProgress p = sweep.Progress(1.0);
    EXPECT_EQ(p.axes[0].nSeen, 10u);
    EXPECT_FALSE(p.axes[0].bPalm);

    Packet palm(g);
    for (std::size_t i = 10; i < 21; ++i) palm.X(i, 1);
    palm.Y(1, 1);
    Feed(sweep, palm);
    p = sweep.Progress(1.0);
    EXPECT_EQ(p.axes[0].nSeen, 10u);
    EXPECT_TRUE(p.axes[0].bPalm);
    EXPECT_EQ(p.axes[1].nSeen, 2u);
    EXPECT_FALSE(p.axes[1].bPalm);
    EXPECT_EQ(SweepProgressText(p), "X 10/30  Y 2/12  29 s left  (palm on X: packet ignored)");
    // Receivers already seen count towards the third, as a palm covers them too.
    Packet again(g);
    for (std::size_t i = 0; i < 11; ++i) again.X(i, 1);
    Feed(sweep, again);
    EXPECT_TRUE(sweep.Progress(1.0).axes[0].bPalm);
    Feed(sweep, Packet(g));
    EXPECT_FALSE(sweep.Progress(1.0).axes[0].bPalm);
}

// Never-seen stretches between seen receivers: up to 3 cells are stuck
// receivers, wider ones and those at an end of the axis were not swept; with
// nothing seen at all, no sweep.
TEST(Sweep, StuckNotSweptAndNoSweep) {
    const FrameGeometry g = Geometry(20, 6);
    struct Case {
        const char* what;
        std::vector<std::size_t> unseenX;  // every other receiver of both axes is seen
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {"one", {10}, {"X stuck R:11"}},
        {"run of 3", {10, 11, 12}, {"X stuck R:11", "X stuck R:12", "X stuck R:13"}},
        {"run of 4", {10, 11, 12, 13}, {"X not-swept R:11-R:14"}},
        {"two runs", {2, 15, 16}, {"X stuck R:3", "X stuck R:16", "X stuck R:17"}},
        {"first end", {0}, {"X not-swept R:1"}},
        {"last end", {17, 18, 19}, {"X not-swept R:18-R:20"}},
        {"whole axis", Range(0, 20), {"X not-swept R:1-R:20"}},
    };
    for (const Case& c : cases) {
        Sweep sweep = Started(g);
        std::vector<std::size_t> seen;
        for (std::size_t i = 0; i < 20; ++i)
            if (std::find(c.unseenX.begin(), c.unseenX.end(), i) == c.unseenX.end()) seen.push_back(i);
        SeeX(sweep, g, seen);
        SeeY(sweep, g, Range(0, 6));
        EXPECT_FALSE(sweep.Ended(29.9)) << c.what;
        const SweepResult r = sweep.Result(30.0);
        EXPECT_EQ(r.verdict, Verdict::Fail) << c.what;
        EXPECT_EQ(Words(r), c.words) << c.what;
    }

    Sweep idle = Started(g);
    Feed(idle, Packet(g));
    EXPECT_EQ(Words(idle.Result(30.0)), (std::vector<std::string>{"X no-sweep", "Y no-sweep"}));
    Sweep xOnly = Started(g);
    SeeX(xOnly, g, Range(0, 20));
    EXPECT_EQ(Words(xOnly.Result(30.0)), (std::vector<std::string>{"Y not-swept R:1-R:6"}));
}

// A low receiver inside a stretch is not expected, but its cell counts
// towards the stretch's width; it is reported as low, not stuck.
TEST(Sweep, LowReceiversAreExcludedButTakeTheirCell) {
    const FrameGeometry g = Geometry(20, 6);
    for (bool wide : {false, true}) {
        Sweep sweep(g, BeamSet::OT);
        for (int i = 0; i < 3; ++i) sweep.AddBaselinePacket(Packet(g).X(10, 5).bytes.data(), 26);
        ASSERT_TRUE(sweep.StartSweep(0.0));
        std::vector<std::size_t> seen = Range(0, 10);
        for (std::size_t i = wide ? 14 : 13; i < 20; ++i) seen.push_back(i);
        SeeX(sweep, g, seen);
        SeeY(sweep, g, Range(0, 6));
        const std::vector<std::string> expected =
            wide ? std::vector<std::string>{"X low R:11", "X not-swept R:12-R:14"}
                 : std::vector<std::string>{"X low R:11", "X stuck R:12", "X stuck R:13"};
        EXPECT_EQ(Words(sweep.Result(30.0)), expected);
    }
}

// The time limit runs from StartSweep: a packet before it counts, one at it
// does not; a complete sweep passes at once and later packets change nothing.
TEST(Sweep, TimeLimit) {
    const FrameGeometry g = Geometry(4, 4);
    SweepSettings settings;
    settings.timeLimitSeconds = 10.0;
    Sweep sweep(g, BeamSet::OT, settings);
    sweep.AddBaselinePacket(Packet(g).bytes.data(), 8);
    ASSERT_TRUE(sweep.StartSweep(100.0));
    EXPECT_EQ(sweep.Result(105.0).verdict, Verdict::Error);  // not ended yet
    for (std::size_t i = 0; i < 4; ++i) Feed(sweep, Packet(g).X(i, 0), 109.9);
    for (std::size_t i = 0; i < 3; ++i) Feed(sweep, Packet(g).Y(i, 0), 109.9);
    Feed(sweep, Packet(g).Y(3, 0), 110.0);
    EXPECT_EQ(SweepProgressText(sweep.Progress(109.1)), "X 4/4  Y 3/4  1 s left");
    EXPECT_FALSE(sweep.Ended(109.99));
    EXPECT_TRUE(sweep.Ended(110.0));
    EXPECT_EQ(SweepProgressText(sweep.Progress(111.0)), "X 4/4  Y 3/4  0 s left");
    EXPECT_EQ(Words(sweep.Result(110.0)), (std::vector<std::string>{"Y not-swept R:4"}));

    Sweep quick(g, BeamSet::OT, settings);
    quick.AddBaselinePacket(Packet(g).bytes.data(), 8);
    ASSERT_TRUE(quick.StartSweep(0.0));
    Packet all(g);
    all.X(0, 0).Y(0, 0);
    for (std::size_t i = 0; i < 4; ++i) Feed(quick, Packet(g).X(i, 0).Y(i, 0), 2.0);
    EXPECT_TRUE(quick.Ended(2.0));
    EXPECT_TRUE(quick.Progress(2.0).bComplete);
    EXPECT_EQ(quick.Result(2.0).verdict, Verdict::Pass);
    Feed(quick, Packet(g), 3.0);
    quick.AddPacket(all.bytes.data(), 3, 3.0);  // short, but after the end: ignored
    EXPECT_EQ(quick.Result(3.0).verdict, Verdict::Pass);

    Sweep broken = Started(g);
    broken.AddPacket(all.bytes.data(), 7, 1.0);
    EXPECT_TRUE(broken.Ended(1.0));
    EXPECT_EQ(broken.Result(1.0).error, "a packet holds 7 receiver bytes, the frame has 4 + 4");
}

// Receivers named as the LED check and the check name them (R = index + 1,
// module and position) on a geometry other than the built-in frames'; on a
// tilted set only the receivers that see an LED are expected, on the axes
// with that tilt.
TEST(Sweep, NumberingModulesAndTiltedSets) {
    const FrameGeometry g = Geometry(40, 30, 10, 3, 0);
    Sweep sweep = Started(g);
    std::vector<std::size_t> seen = Range(0, 40);
    seen.erase(seen.begin() + 33);
    SeeX(sweep, g, seen);
    SeeY(sweep, g, Range(6, 30));
    const SweepResult r = sweep.Result(30.0);
    ASSERT_EQ(r.faults.size(), 2u);
    EXPECT_EQ(SweepFaultText(r.faults[0]), "X stuck R:34  R module 4 position 4");
    EXPECT_EQ(SweepFaultText(r.faults[1]), "Y not-swept R:1-R:6");
    EXPECT_EQ(r.faults[1].from, 1);
    EXPECT_EQ(r.faults[1].to, 6);

    // The check words a receiver's place the same way.
    FrameVerdict checked;
    checked.nUsbIndexNo = 0;
    checked.faults.push_back({Axis::X, Part::Receiver, {}, {}, 34, {}, {}, 4, 4, 0, 0});
    EXPECT_NE(FrameReportText(checked).find("R:34  R module 4 position 4"), std::string::npos);

    const std::vector<reports::StatusLine> lines = SweepStatusLines(r);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].colour, reports::kStatusRed);
    EXPECT_EQ(lines[1].colour, reports::kStatusBlue);
    EXPECT_EQ(lines[2].text, "FAIL");

    // TL1: X receivers 38..40 see LEDs 41..43, past the axis; Y has no tilt 1.
    Sweep tilted = Started(g, {}, BeamSet::TL1);
    const SweepProgress p = tilted.Progress(0.0);
    EXPECT_EQ(p.axes[0].nExpected, 37u);
    EXPECT_FALSE(p.axes[1].bMeasured);
    EXPECT_EQ(tilted.CellOf(Axis::X, 37), SweepCell::NotMeasured);
    EXPECT_EQ(SweepProgressText(p), "TL1  X 0/37  30 s left");
    seen = Range(0, 37);
    seen.erase(seen.begin() + 20);
    SeeX(tilted, g, seen);
    EXPECT_EQ(Words(tilted.Result(30.0)), (std::vector<std::string>{"X stuck TL1 R:21"}));

    EXPECT_FALSE(Sweep(g, BeamSet::TL2).error().empty());  // no tilt 2 on either axis
    EXPECT_FALSE(Sweep(Geometry(0, 5), BeamSet::OT).error().empty());
}
