#include <gtest/gtest.h>

#include <numeric>

#include "sim/SimEngine.h"

using namespace quorvane::sim;

namespace {

Scenario MustParse(const std::string& text) {
    ScenarioError error;
    auto s = ParseScenario(text, "test.scn", error);
    EXPECT_TRUE(s) << error.ToString();
    return s ? *s : Scenario{};
}

// A quiet frame: no noise, so levels can be compared exactly.
FrameSpec QuietFrame() {
    Scenario s = MustParse(
        "[frame]\nname = Q\nusbindex = 4\nx_cells = 40\ny_cells = 20\n"
        "x_tilts = 3 6\ny_tilts = 2 4\n"
        "level_ambient = 10\nlevel_ir = 150\nlevel_percent = 100\nlevel_maximal = 200\n"
        "weak_x = 7:0.5\ndead_x = 12\ndead_y = 0\n");
    return s.frames.at(0);
}

std::vector<std::uint8_t> Packet(const FrameSpec& f, int request, std::uint32_t packetNo = 0, std::uint64_t seed = 1) {
    std::vector<std::uint8_t> p;
    GeneratePacket(f, request, seed, packetNo, p);
    return p;
}

int X(const std::vector<std::uint8_t>& p, int i) { return p[quorvane::XReceiverOffset(i)]; }
int Y(const FrameSpec& f, const std::vector<std::uint8_t>& p, int j) {
    return p[quorvane::YReceiverOffset(f.x.cells, j)];
}

}  // namespace

TEST(Packets, LevelsFollowTheModeCode) {
    FrameSpec f = QuietFrame();
    EXPECT_EQ(X(Packet(f, 0x02), 20), 10);   // ambient
    EXPECT_EQ(X(Packet(f, 0x03), 20), 150);  // IR
    EXPECT_EQ(X(Packet(f, 0x01), 20), 160);  // ambient + IR
    EXPECT_EQ(X(Packet(f, 0x04), 20), 100);  // percent
    EXPECT_EQ(X(Packet(f, 0x05), 20), 200);  // maximal
    f.levels.ir = 250;
    EXPECT_EQ(X(Packet(f, 0x01), 20), 255);  // the sum is capped
    f.levels.ambientIr = 90;
    EXPECT_EQ(X(Packet(f, 0x01), 20), 90);
}

TEST(Packets, TiltModesFadeAtTheEndTheBeamsLeanTo) {
    FrameSpec f = QuietFrame();
    const int n = f.x.cells;
    auto left = Packet(f, 0x07);   // left tilt maximal, tilt set 1: X offset 3
    auto right = Packet(f, 0x09);  // right tilt maximal
    EXPECT_EQ(X(left, 20), 170);   // 200 x 0.85 in the middle
    EXPECT_EQ(X(right, 20), 170);
    // Left: the last 3 receivers have no LED opposite and fade; the first ones do not.
    EXPECT_EQ(X(left, 0), 170);
    EXPECT_LT(X(left, n - 1), X(left, n - 2));
    EXPECT_LT(X(left, n - 2), X(left, n - 3));
    EXPECT_LT(X(left, n - 3), X(left, n - 4));
    EXPECT_EQ(X(left, n - 4), 170);
    // Right: the mirror image.
    EXPECT_LT(X(right, 0), X(right, 1));
    EXPECT_EQ(X(right, 3), 170);
    EXPECT_EQ(X(right, n - 1), 170);
    // The Y axis uses its own offset (2).
    EXPECT_LT(Y(f, left, f.y.cells - 2), 170);
    EXPECT_EQ(Y(f, left, f.y.cells - 3), 170);
}

// An LED fault follows its beams from set to set: LED S darkens receiver S on
// OT, S - t on TL, S + t + 1 on TR (1-based), only within the axis.
TEST(Packets, DeadAndWeakLedsDarkenTheirBeamsOnEverySet) {
    FrameSpec f = MustParse(
                      "[frame]\nname = L\nusbindex = 1\nx_cells = 20\ny_cells = 8\nx_tilts = 3 5\n"
                      "y_tilts = 2\nlevel_ambient = 10\nlevel_maximal = 96\nnoise = 3\n"
                      "dead_led_x = 0 10 20\nweak_led_y = 5:0.5\n")
                      .frames.at(0);
    struct Case {
        int request;
        std::vector<int> dark;  // 1-based X receivers that read 0
    };
    for (const Case& c : {Case{0x05, {10, 20}}, Case{0x15, {7, 17}}, Case{0x25, {4, 14}}, Case{0x35, {5, 15}},
                          Case{0x45, {6, 16}}, Case{0x09, {4, 14}}, Case{0x02, {}}}) {
        for (std::uint32_t k = 0; k < 3; ++k) {
            const std::vector<std::uint8_t> p = Packet(f, c.request, k);
            std::vector<int> dark;
            for (int r = 1; r <= f.x.cells; ++r)
                if (X(p, r - 1) == 0) dark.push_back(r);
            EXPECT_EQ(dark, c.dark) << "request 0x" << std::hex << c.request;
        }
    }
    // Ambient+IR keeps the ambient part; the weak LED gives half its light.
    EXPECT_NEAR(X(Packet(f, 0x01), 9), 10, 3);
    EXPECT_NEAR(Y(f, Packet(f, 0x05), 4), 48, 3);
    EXPECT_NEAR(Y(f, Packet(f, 0x15), 2), 41, 3);  // 96 x 0.85 x 0.5 from receiver 3 on TL1
    EXPECT_NEAR(Y(f, Packet(f, 0x15), 4), 82, 3);
}

TEST(Packets, AxisCodeChangesTheBeamSet) {
    FrameSpec f = QuietFrame();
    const int n = f.x.cells;
    auto straight = Packet(f, 0x05);
    auto tl1 = Packet(f, 0x15);
    auto tl2 = Packet(f, 0x35);
    auto tr2 = Packet(f, 0x45);
    EXPECT_NE(std::vector<std::uint8_t>(straight.begin() + 7, straight.end()),
              std::vector<std::uint8_t>(tl1.begin() + 7, tl1.end()));
    EXPECT_EQ(X(straight, n - 1), 200);
    EXPECT_LT(X(tl1, n - 1), 170);
    // Tilt set 2 has the larger offset (6), so more receivers fade.
    EXPECT_EQ(X(tl1, n - 5), 170);
    EXPECT_LT(X(tl2, n - 5), 170);
    EXPECT_LT(X(tr2, 5), 170);
    EXPECT_EQ(X(tr2, n - 1), 170);
    // Ambient light does not come from the beams.
    EXPECT_EQ(X(Packet(f, 0x12), n - 1), 10);
}

TEST(Packets, WeakReceiversReadTheirFactorAndDeadOnesZero) {
    FrameSpec f = QuietFrame();
    for (int request : {0x01, 0x02, 0x03, 0x04, 0x05, 0x07, 0x19}) {
        auto p = Packet(f, request);
        EXPECT_EQ(X(p, 12), 0) << request;
        EXPECT_EQ(Y(f, p, 0), 0) << request;
    }
    EXPECT_EQ(X(Packet(f, 0x05), 7), 100);
    EXPECT_EQ(X(Packet(f, 0x04), 7), 50);
}

TEST(Packets, HeaderAndSizeDescribeThePacket) {
    FrameSpec f = QuietFrame();
    f.noise = 5;
    auto p = Packet(f, 0x35, 0x1234);
    ASSERT_EQ(p.size(), 7u + 40u + 20u);
    EXPECT_EQ(p[kHeaderMarker], kPacketMarker);
    EXPECT_EQ(p[kHeaderRequest], 0x35);
    EXPECT_EQ(p[kHeaderUsbIndex], 4);
    EXPECT_EQ(p[kHeaderSequence] | p[kHeaderSequence + 1] << 8, 0x1234);
    unsigned sum = std::accumulate(p.begin() + 7, p.end(), 0u);
    EXPECT_EQ(p[kHeaderChecksum] | p[kHeaderChecksum + 1] << 8, static_cast<int>(sum & 0xFFFF));
}

TEST(Packets, NoiseIsBoundedAndReproducibleFromTheSeed) {
    FrameSpec f = QuietFrame();
    f.noise = 4;
    EXPECT_EQ(Packet(f, 0x05, 3, 77), Packet(f, 0x05, 3, 77));
    EXPECT_NE(Packet(f, 0x05, 3, 77), Packet(f, 0x05, 4, 77));
    EXPECT_NE(Packet(f, 0x05, 3, 77), Packet(f, 0x05, 3, 78));
    bool varied = false;
    for (std::uint32_t k = 0; k < 50; ++k) {
        auto p = Packet(f, 0x05, k, 77);
        EXPECT_GE(X(p, 20), 196);
        EXPECT_LE(X(p, 20), 204);
        EXPECT_EQ(X(p, 12), 0);  // dead stays dead under noise
        varied = varied || X(p, 20) != 200;
    }
    EXPECT_TRUE(varied);
}

TEST(Requests, DecodeRejectsWhatNoFrameUnderstands) {
    DumpRequest r;
    ASSERT_TRUE(DecodeRequest(0x49, r));
    EXPECT_EQ(r.axis, 4);
    EXPECT_EQ(r.mode, 9);
    for (int bad : {-1, 0x0A, 0x0F, 0x50, 0x80, 0x100}) EXPECT_FALSE(DecodeRequest(bad, r)) << bad;
}

TEST(LogLines, HaveTheDocumentedFormat) {
    EXPECT_EQ(LogSetDump(3, 0x35), "setDump 3 0x35");
    EXPECT_EQ(LogSetDump(0, 0), "setDump 0 0x00");
    EXPECT_EQ(LogSetDump(1, -1), "setDump 1 0xFFFFFFFF");
    EXPECT_EQ(LogGetSysInfo(3, 1), "getSysInfo 3 -> 1");
    EXPECT_EQ(LogGetDeviceinfo(0, 0), "getDeviceinfo 0 -> 0");
    EXPECT_EQ(LogGetDeviceInfoST(2, 1), "getDeviceInfoST 2 -> 1");
    EXPECT_EQ(LogRegister(1), "registerQuorvaneUSBEvent -> 1");
}

namespace {

const char* kTwoFrames =
    "setdump_result = 7\n"
    "cycle_ms = 3000\n"
    "at = 1000 disconnect 1\n"
    "at = 2000 connect 2\n"
    "[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 4\n"
    "[frame]\nname = B\nusbindex = 2\nx_cells = 16\ny_cells = 8\nconnected = no\n"
    "[frame]\nname = C\nusbindex = 3\nx_cells = 4\ny_cells = 4\nrate = 2.5\n";

}  // namespace

TEST(Timeline, ChangesTheConnectedSetAndRepeatsWithTheCycle) {
    Timeline t(MustParse(kTwoFrames));
    using V = std::vector<bool>;
    EXPECT_EQ(t.ConnectedAt(0), (V{true, false, true}));
    EXPECT_EQ(t.ConnectedAt(999), (V{true, false, true}));
    EXPECT_EQ(t.ConnectedAt(1000), (V{false, false, true}));
    EXPECT_EQ(t.ConnectedAt(2500), (V{false, true, true}));
    EXPECT_EQ(t.ConnectedAt(3000), (V{true, false, true}));  // next cycle
    EXPECT_EQ(t.ConnectedAt(8100), (V{false, true, true}));
    EXPECT_EQ(t.NextChangeAfter(0), 1000);
    EXPECT_EQ(t.NextChangeAfter(1000), 2000);
    EXPECT_EQ(t.NextChangeAfter(2000), 3000);
    EXPECT_EQ(t.NextChangeAfter(3500), 4000);
}

TEST(Timeline, WithoutCycleTheLastEventHolds) {
    Scenario s = MustParse(kTwoFrames);
    s.cycleMs = 0;
    Timeline t(s);
    EXPECT_EQ(t.ConnectedAt(100000), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(t.NextChangeAfter(2000), -1);
    EXPECT_EQ(Timeline(MustParse("[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 4\n")).NextChangeAfter(0),
              -1);
}

TEST(Engine, PositionsCountOnlyConnectedFramesInScenarioOrder) {
    SimEngine e(MustParse(kTwoFrames));
    EXPECT_EQ(e.ConnectedCount(), 2);
    EXPECT_EQ(e.AtPosition(0)->name, "A");
    EXPECT_EQ(e.AtPosition(1)->name, "C");
    EXPECT_EQ(e.AtPosition(2), nullptr);
    EXPECT_EQ(e.AtPosition(-1), nullptr);
    EXPECT_FALSE(e.AdvanceTo(500));
    EXPECT_TRUE(e.AdvanceTo(1000));
    EXPECT_EQ(e.AtPosition(0)->name, "C");
    EXPECT_EQ(e.ConnectedFrame(1), nullptr);
    EXPECT_TRUE(e.AdvanceTo(2000));
    EXPECT_EQ(e.AtPosition(0)->name, "B");
}

TEST(Engine, OneFrameStreamsAtATime) {
    SimEngine e(MustParse(kTwoFrames));
    using O = SimEngine::DumpOutcome;
    std::vector<std::uint8_t> p;
    EXPECT_FALSE(e.NextPacket(p));
    EXPECT_EQ(e.SetDump(1, 0x05), O::Started);
    EXPECT_EQ(e.ResultOf(O::Started), 7);
    EXPECT_DOUBLE_EQ(e.StreamingRate(), 20.0);  // the library's rate
    ASSERT_TRUE(e.NextPacket(p));
    EXPECT_EQ(p.size(), 7u + 8u + 4u);
    EXPECT_TRUE(e.NextPacket(p));
    EXPECT_EQ(p[kHeaderSequence], 1);
    // The latest non-zero request wins: C streams, A no longer does.
    EXPECT_EQ(e.SetDump(3, 0x01), O::Started);
    EXPECT_EQ(e.StreamingUsbIndex(), 3);
    EXPECT_DOUBLE_EQ(e.StreamingRate(), 2.5);  // C's own
    ASSERT_TRUE(e.NextPacket(p));
    EXPECT_EQ(p[kHeaderSequence], 0);  // numbering restarts with the request
    EXPECT_EQ(p.size(), 7u + 4u + 4u);
    // A stop to a frame that does not stream changes nothing.
    EXPECT_EQ(e.SetDump(1, 0x00), O::Unchanged);
    EXPECT_EQ(e.StreamingUsbIndex(), 3);
    EXPECT_EQ(e.SetDump(3, 0x00), O::Stopped);
    EXPECT_FALSE(e.Streaming());
    EXPECT_FALSE(e.NextPacket(p));
}

TEST(Engine, RequestsThatNoFrameTakesReturnZeroAndChangeNothing) {
    SimEngine e(MustParse(kTwoFrames));
    using O = SimEngine::DumpOutcome;
    ASSERT_EQ(e.SetDump(1, 0x03), O::Started);
    EXPECT_EQ(e.SetDump(99, 0x05), O::UnknownFrame);
    EXPECT_EQ(e.SetDump(2, 0x05), O::NotConnected);  // B starts disconnected
    EXPECT_EQ(e.SetDump(3, 0x0C), O::BadRequest);
    for (O o : {O::UnknownFrame, O::NotConnected, O::BadRequest}) EXPECT_EQ(e.ResultOf(o), 0);
    EXPECT_EQ(e.StreamingUsbIndex(), 1);
    EXPECT_EQ(e.StreamingRequest(), 0x03);
}

TEST(Engine, StreamEndsWhenItsFrameDisconnects) {
    SimEngine e(MustParse(kTwoFrames));
    ASSERT_EQ(e.SetDump(1, 0x01), SimEngine::DumpOutcome::Started);
    e.AdvanceTo(1000);
    EXPECT_FALSE(e.Streaming());
    e.AdvanceTo(3000);  // back again, but a replugged frame waits for a request
    EXPECT_FALSE(e.Streaming());
}
