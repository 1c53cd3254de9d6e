// The check's measurement steps as both programs drive them: the settle
// wait, the packets kept, the time limit and its words, the sets in request
// order with their request bytes, and the status box's lines of a verdict.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "check/FrameMeasurement.h"

namespace {

using namespace check;

constexpr std::size_t kHeader = 7;

// A packet of nReceivers bytes at `level` after the header, receiver `dark` (0-based) at 0.
std::vector<std::uint8_t> Packet(std::size_t nReceivers, std::uint8_t level = 90, int dark = -1) {
    std::vector<std::uint8_t> p(kHeader + nReceivers, level);
    p[0] = 0xA5;
    if (dark >= 0) p[kHeader + static_cast<std::size_t>(dark)] = 0;
    return p;
}

FrameGeometry Geometry(unsigned nX, unsigned nY, unsigned nXTilt1 = 0, unsigned nXTilt2 = 0) {
    FrameGeometry g;
    g.x = AxisGeometry{nX, 8, nXTilt1, nXTilt2};
    g.y = AxisGeometry{nY, 8, 0, 0};
    return g;
}

}  // namespace

// Packets within the settle time are not kept; one at its end is. The time
// limit runs from the request and from every packet, settling ones included,
// and strikes at its bound, not before.
TEST(PacketCollector, SettleThenPacketsUnderTheTimeLimit) {
    const CollectSettings settings{3, 100, 1000};
    PacketCollector c(kHeader + 4, settings);
    std::vector<std::uint8_t> p = Packet(4);
    c.AddPacket(p.data(), 0.0);  // before the request: not counted
    c.Start(1000.0);
    EXPECT_TRUE(c.Settling());
    EXPECT_DOUBLE_EQ(c.DeadlineMs(), 1100.0);
    p[1] = 1;
    c.AddPacket(p.data(), 1099.0);  // settling
    c.Tick(1099.9);
    EXPECT_TRUE(c.Settling());
    EXPECT_DOUBLE_EQ(c.DeadlineMs(), 1100.0);
    c.Tick(1100.0);
    EXPECT_FALSE(c.Settling());
    EXPECT_DOUBLE_EQ(c.DeadlineMs(), 1099.0 + 1000.0);  // from the settling packet
    c.Tick(2098.9);
    EXPECT_FALSE(c.Ended());
    p[1] = 2;
    c.AddPacket(p.data(), 2098.9);
    c.Tick(3098.0);
    EXPECT_FALSE(c.Ended());
    p[1] = 3;
    c.AddPacket(p.data(), 3098.0);
    p[1] = 4;
    c.AddPacket(p.data(), 3100.0);
    ASSERT_TRUE(c.Complete());
    p[1] = 5;
    c.AddPacket(p.data(), 3101.0);  // after the end: not kept
    c.Left();                       // nor does a later failure undo it
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.Packets().size(), 3u);
    EXPECT_EQ(c.Packets()[0][1], 2);
    EXPECT_EQ(c.Packets()[2][1], 4);
    EXPECT_EQ(c.Packets()[0].size(), kHeader + 4);

    // A packet at the settle time itself is kept.
    PacketCollector d(kHeader + 4, settings);
    d.Start(0.0);
    d.AddPacket(p.data(), 100.0);
    EXPECT_EQ(d.Packets().size(), 1u);
}

TEST(PacketCollector, ErrorWordsOfEachWayItFails) {
    const CollectSettings settings{8, 100, 5000};
    const std::vector<std::uint8_t> p = Packet(4);
    struct Case {
        const char* name;
        void (*run)(PacketCollector&, const std::uint8_t*);
        const char* error;
    };
    const Case cases[] = {
        {"silent", [](PacketCollector& c, const std::uint8_t*) { c.Tick(5000.0); }, "no packet within 5 s"},
        // Packets while settling only: seen, so not "no packet".
        {"settle only",
         [](PacketCollector& c, const std::uint8_t* q) {
             c.AddPacket(q, 50.0);
             c.Tick(5049.0);
             EXPECT_FALSE(c.Ended());
             c.Tick(5050.0);
         },
         "the frame stopped sending after 0 of 8 packets"},
        {"stopped",
         [](PacketCollector& c, const std::uint8_t* q) {
             for (int i = 0; i < 3; ++i) c.AddPacket(q, 200.0 + i);
             c.Tick(5202.0);
         },
         "the frame stopped sending after 3 of 8 packets"},
        {"left", [](PacketCollector& c, const std::uint8_t*) { c.Left(); }, "the frame left during its check"},
        {"interrupted", [](PacketCollector& c, const std::uint8_t*) { c.Fail("interrupted (Ctrl+C)"); },
         "interrupted (Ctrl+C)"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PacketCollector c(kHeader + 4, settings);
        c.Start(0.0);
        k.run(c, p.data());
        ASSERT_TRUE(c.Ended());
        EXPECT_FALSE(c.Complete());
        EXPECT_EQ(c.error(), k.error);
    }
}

// Every set of the plan in request order, each asked in Maximal IR with its
// dump-axis code; the receiver bytes without the header become its measurement.
TEST(FrameMeasurement, RequestsEachPlannedSetInTurnAndDiagnosesWhatCame) {
    // X has tilts 3 and 5, Y none: OT for both, the tilted sets for X only.
    const FrameGeometry g = Geometry(16, 8, 3, 5);
    const CollectSettings settings{2, 0, 5000};
    FrameMeasurement m(g, DiagnosisSettings{}, kHeader + 24, settings);
    std::vector<std::uint8_t> requests;
    double now = 0.0;
    while (!m.Ended()) {
        requests.push_back(m.Request());
        EXPECT_EQ(m.SetNumber(), requests.size());
        EXPECT_EQ(m.SetCount(), 5u);
        m.Collector().Start(now);
        // Y receiver 3 (R:4) is dead on every set.
        const std::vector<std::uint8_t> p = Packet(24, 90, 16 + 3);
        while (!m.Collector().Ended()) m.Collector().AddPacket(p.data(), now += 50.0);
        m.Next();
    }
    EXPECT_EQ(requests, (std::vector<std::uint8_t>{0x05, 0x15, 0x25, 0x35, 0x45}));
    ASSERT_EQ(m.Measured().size(), 5u);
    EXPECT_EQ(m.Measured()[3].set, BeamSet::TL2);
    EXPECT_EQ(m.Measured()[3].packets[0].size(), 24u);
    EXPECT_TRUE(m.error().empty());
    const FrameVerdict v = m.Verdict("F", 7);
    EXPECT_EQ(v.verdict(), Verdict::Fail);
    ASSERT_EQ(v.faults.size(), 1u);
    EXPECT_EQ(FaultLineText(v.faults[0]),
              "Y led-or-receiver OT S:4 R:4  S module 1 position 4  R module 1 position 4  level 0");
}

TEST(FrameMeasurement, AFailedSetEndsTheCheckWithItsNameAndAPlanErrorRequestsNothing) {
    const FrameGeometry g = Geometry(16, 8, 3, 0);  // OT, TL1, TR1
    FrameMeasurement m(g, DiagnosisSettings{}, kHeader + 24, CollectSettings{1, 0, 2000});
    const std::vector<std::uint8_t> p = Packet(24);
    m.Collector().Start(0.0);
    m.Collector().AddPacket(p.data(), 10.0);
    m.Next();
    ASSERT_EQ(m.Set(), BeamSet::TL1);
    m.Collector().Start(20.0);
    m.Collector().Tick(2020.0);
    m.Next();
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.error(), "TL1: no packet within 2 s");
    const FrameVerdict v = m.Verdict("F", 7);
    EXPECT_EQ(v.verdict(), Verdict::Error);
    EXPECT_EQ(v.error, "TL1: no packet within 2 s");

    // An axis of 0 cells: nothing to request, the plan's error is the verdict's.
    FrameMeasurement none(Geometry(16, 0), DiagnosisSettings{}, kHeader + 16, CollectSettings{});
    EXPECT_TRUE(none.Ended());
    EXPECT_TRUE(none.error().empty());
    const FrameVerdict e = none.Verdict("F", 7);
    EXPECT_EQ(e.verdict(), Verdict::Error);
    EXPECT_EQ(e.error, PlanBeamSets(Geometry(16, 0)).error);
}

// The status box shows the stdout block's set and part lines without their
// indent, X red and Y blue, then the verdict.
TEST(CheckStatusLines, TheConsoleWordsInTheLedCheckColours) {
    FrameVerdict v;
    v.name = "F";
    v.nUsbIndexNo = 1;
    SetResult x;
    x.axis = Axis::X;
    x.fAverage = 3795.4f;
    x.nCutline = 1252;
    x.low.resize(1);
    SetResult y;
    y.axis = Axis::Y;
    y.set = BeamSet::TL2;
    y.bDark = true;
    v.sets = {x, y};
    Fault led;
    led.axis = Axis::X;
    led.part = Part::Led;
    led.led = 75;
    led.ledModule = 5;
    led.ledPosition = 11;
    Fault dark;
    dark.axis = Axis::Y;
    dark.part = Part::AxisDark;
    dark.set = BeamSet::TL2;
    v.faults = {led, dark};
    const std::string block = FrameReportText(v);
    const std::vector<reports::StatusLine> lines = CheckStatusLines(v);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "X OT   average 3795  cutline 1252  low 1");
    EXPECT_EQ(lines[1].text, "Y TL2  dark: every receiver reads 0");
    EXPECT_EQ(lines[2].text, "X led S:75  S module 5 position 11  level 0");
    EXPECT_EQ(lines[3].text, "Y axis-dark TL2");
    EXPECT_EQ(lines[4].text, "FAIL");
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NE(block.find("    " + lines[i].text + "\n"), std::string::npos) << i;
    EXPECT_EQ(lines[0].colour, reports::kStatusRed);
    EXPECT_EQ(lines[1].colour, reports::kStatusBlue);
    EXPECT_EQ(lines[2].colour, reports::kStatusRed);
    EXPECT_EQ(lines[3].colour, reports::kStatusBlue);

    v.reduced = ReducedGeometryText("");
    v.error = "OT: the frame left during its check";
    const std::vector<reports::StatusLine> error = CheckStatusLines(v);
    EXPECT_EQ(error.front().text, "reduced: getSysInfo failed; no modules and tilts known, OT only");
    EXPECT_EQ(error.back().text, "ERROR: OT: the frame left during its check");
}
