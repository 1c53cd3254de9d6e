// The simulated stylus: where it is over time, what covered receivers read,
// and the clock that starts at a frame's first IR request.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <string>

#include "sim/SimEngine.h"

using namespace quorvane::sim;

namespace {

Scenario MustParse(const std::string& text) {
    ScenarioError error;
    auto s = ParseScenario(text, "test.scn", error);
    EXPECT_TRUE(s) << error.ToString();
    return s ? *s : Scenario{};
}

// 10 x 6 cells, quiet, a pass of 4 s starting 1 s after the first IR request.
const char* kSweptFrame =
    "rate = 100\n[frame]\nname = S\nusbindex = 3\nx_cells = 10\ny_cells = 6\nx_tilts = 2 0\n"
    "level_ambient = 10\nlevel_ir = 100\nlevel_percent = 100\nlevel_maximal = 200\n"
    "sweep = 1 4\n";

FrameSpec SweptFrame(const std::string& extra = "") { return MustParse(kSweptFrame + extra).frames.at(0); }

int X(const std::vector<std::uint8_t>& p, int i) { return p[quorvane::XReceiverOffset(i)]; }
int Y(const FrameSpec& f, const std::vector<std::uint8_t>& p, int j) {
    return p[quorvane::YReceiverOffset(f.x.cells, j)];
}

}  // namespace

TEST(Stylus, KeysAndTheirDefaults) {
    const FrameSpec plain = MustParse("[frame]\nname = P\nusbindex = 1\nx_cells = 8\ny_cells = 4\n").frames.at(0);
    EXPECT_FALSE(plain.sweep.enabled);
    EXPECT_FALSE(plain.sweep.repeat);
    EXPECT_EQ(plain.sweep.stylusCells, 2);
    EXPECT_DOUBLE_EQ(plain.sweep.touchPercent, 3.0);

    const FrameSpec f =
        SweptFrame("sweep_repeat = yes\nstylus_cells = 3\ntouch_percent = 12.5\nstuck_x = 4, 9\nstuck_y = 0\n");
    EXPECT_TRUE(f.sweep.enabled);
    EXPECT_DOUBLE_EQ(f.sweep.startSeconds, 1.0);
    EXPECT_DOUBLE_EQ(f.sweep.durationSeconds, 4.0);
    EXPECT_TRUE(f.sweep.repeat);
    EXPECT_EQ(f.sweep.stylusCells, 3);
    EXPECT_DOUBLE_EQ(f.sweep.touchPercent, 12.5);
    EXPECT_EQ(f.x.stuck, (std::vector<int>{4, 9}));
    EXPECT_EQ(f.y.stuck, (std::vector<int>{0}));
}

// X in the first half, Y in the second, every position an equal share of its
// half; nothing before the start or after a pass without repeat.
TEST(Stylus, CoversCellsOfOneAxisAtATimeInOrder) {
    const FrameSpec f = SweptFrame();  // X: 9 positions over 2 s, Y: 5 positions over 2 s
    struct At {
        double seconds;
        int axis, first;
    };
    for (const At& at : {At{0.0, -1, 0}, At{0.999, -1, 0}, At{1.0, 0, 0}, At{1.0 + 2.0 / 9 - 1e-6, 0, 0},
                         At{1.0 + 2.0 / 9 + 1e-6, 0, 1}, At{2.999, 0, 8}, At{3.0, 1, 0}, At{4.999, 1, 4},
                         At{5.0, -1, 0}, At{100.0, -1, 0}}) {
        const StylusCover c = StylusAt(f, at.seconds);
        EXPECT_EQ(c.axis, at.axis) << at.seconds;
        if (at.axis < 0) continue;
        EXPECT_EQ(c.first, at.first) << at.seconds;
        EXPECT_EQ(c.count, 2) << at.seconds;
    }
    // Sampled finely, the pass covers every cell of both axes.
    std::set<int> x, y;
    for (double t = 0.0; t < 6.0; t += 0.01) {
        const StylusCover c = StylusAt(f, t);
        for (int i = c.first; i < c.first + c.count; ++i) (c.axis == 0 ? x : y).insert(i);
    }
    EXPECT_EQ(x.size(), 10u);
    EXPECT_EQ(y.size(), 6u);
    EXPECT_EQ(*x.rbegin(), 9);
    EXPECT_EQ(*y.rbegin(), 5);
}

TEST(Stylus, RepeatStartsANewPassAndAWideStylusCoversTheWholeAxis) {
    const FrameSpec f = SweptFrame("sweep_repeat = yes\n");
    for (double t : {1.5, 2.7, 3.4, 4.9}) {
        const StylusCover once = StylusAt(f, t), later = StylusAt(f, t + 4.0 * 7);
        EXPECT_EQ(later.axis, once.axis) << t;
        EXPECT_EQ(later.first, once.first) << t;
    }
    EXPECT_EQ(StylusAt(f, 5.0).axis, 0);

    const FrameSpec wide = SweptFrame("stylus_cells = 8\n");  // wider than Y's 6 cells
    EXPECT_EQ(StylusAt(wide, 4.0).first, 0);
    EXPECT_EQ(StylusAt(wide, 4.0).count, 6);
    EXPECT_EQ(StylusAt(wide, 1.0).count, 8);
    EXPECT_EQ(StylusAt(wide, 2.99).first, 2);
}

// A covered receiver reads touch_percent of its level in every mode with a
// beam (tilted ones too, by its own cell); Ambient, stuck and dead ones keep
// what they read.
TEST(Stylus, CoveredReceiversDropExceptInAmbientAndWhenStuck) {
    const FrameSpec f = SweptFrame("touch_percent = 20\nstuck_x = 5\ndead_x = 3\nweak_x = 2:0.4\n");
    const StylusCover cover{0, 2, 4};  // X 2..5
    struct Mode {
        int request;
        int level;  // of an uncovered sound receiver in the middle
    };
    for (const Mode& m : {Mode{0x01, 110}, Mode{0x03, 100}, Mode{0x13, 85}, Mode{0x04, 100}, Mode{0x05, 200},
                          Mode{0x07, 170}, Mode{0x09, 170}}) {
        std::vector<std::uint8_t> p;
        GeneratePacket(f, m.request, 1, 0, p, cover);
        EXPECT_EQ(X(p, 4), m.level / 5) << std::hex << m.request;                  // 20 % of it
        EXPECT_EQ(X(p, 2), std::lround(m.level * 0.08)) << std::hex << m.request;  // weak, then covered
        EXPECT_EQ(X(p, 3), 0) << std::hex << m.request;
        EXPECT_EQ(X(p, 5), m.level) << std::hex << m.request;
        EXPECT_EQ(X(p, 6), m.level) << std::hex << m.request;
        EXPECT_EQ(Y(f, p, 2), m.level) << std::hex << m.request;
    }
    std::vector<std::uint8_t> ambient;
    GeneratePacket(f, 0x02, 1, 0, ambient, cover);
    EXPECT_EQ(X(ambient, 4), 10);
}

// The clock starts at the frame's first IR request, whatever came before;
// later requests, IR ones included, do not restart it, and the stylus stays
// on its way whatever the frame streams.
TEST(Stylus, ClockStartsAtTheFramesFirstIrRequest) {
    SimEngine engine(MustParse(std::string(kSweptFrame) + "stuck_y = 1\n"));
    std::vector<std::uint8_t> p;
    auto xAt = [&](double ms, int i) {
        EXPECT_TRUE(engine.NextPacket(p, ms));
        return X(p, i);
    };
    ASSERT_EQ(engine.SetDump(3, 0x05, 0.0), SimEngine::DumpOutcome::Started);  // Maximal: no clock yet
    EXPECT_EQ(xAt(1000.0, 0), 200);
    EXPECT_EQ(xAt(60000.0, 0), 200);
    ASSERT_EQ(engine.SetDump(3, 0x03, 70000.0), SimEngine::DumpOutcome::Started);
    EXPECT_EQ(xAt(70999.0, 0), 100);  // 1 s to wait
    EXPECT_EQ(xAt(71000.0, 0), 3);
    EXPECT_EQ(xAt(71000.0, 2), 100);
    engine.SetDump(3, 0x00, 71100.0);
    engine.SetDump(3, 0x23, 71500.0);  // another IR request runs on the same clock
    EXPECT_EQ(xAt(72990.0, 9), 3);     // 85 tilted, covered: 2.55
    engine.SetDump(3, 0x05, 73000.0);
    EXPECT_TRUE(engine.NextPacket(p, 73000.0));  // Y in the second half; its receiver 1 is stuck
    EXPECT_EQ(Y(engine.scenario().frames[0], p, 0), 6);
    EXPECT_EQ(Y(engine.scenario().frames[0], p, 1), 200);
    EXPECT_EQ(xAt(75000.0, 0), 200);  // the pass is over
}

// The README's sweep example parses and sweeps.
TEST(Stylus, ReadmeExampleParses) {
    std::ifstream in(LUMAGRID_SIM_README);
    std::string line, block;
    bool inside = false, found = false;
    while (!found && std::getline(in, line)) {
        if (line.rfind("```", 0) == 0) {
            found = inside && block.find("\nsweep = ") != std::string::npos;
            if (!found) block.clear();
            inside = !inside;
        } else if (inside) {
            block += line + "\n";
        }
    }
    ASSERT_TRUE(found);
    const Scenario s = MustParse(block);
    ASSERT_FALSE(s.frames.empty());
    EXPECT_TRUE(s.frames[0].sweep.enabled);
}
