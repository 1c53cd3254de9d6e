#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <fstream>

#include "sim/Scenario.h"

using namespace quorvane::sim;

namespace {

std::optional<Scenario> Parse(const std::string& text, ScenarioError& error) {
    return ParseScenario(text, "test.scn", error);
}

const char* kMinimalFrame = "[frame]\nname = A\nusbindex = 1\nx_cells = 8\ny_cells = 4\n";

}  // namespace

TEST(ScenarioParser, BuiltInScenarioHasTwoListedFramesAndOneHidden) {
    ScenarioError error;
    auto s = Parse(DefaultScenarioText(), error);
    ASSERT_TRUE(s) << error.ToString();
    ASSERT_EQ(s->frames.size(), 3u);
    const FrameSpec& a = s->frames[0];
    const FrameSpec& b = s->frames[1];
    EXPECT_EQ(a.x.cells, 96);
    EXPECT_EQ(a.y.cells, 64);
    EXPECT_EQ(b.x.cells, 160);
    EXPECT_EQ(b.y.cells, 90);
    EXPECT_EQ(a.x.moduleCells, 16);
    EXPECT_EQ(b.y.moduleCells, 16);
    EXPECT_NE(a.deviceType, 2);
    EXPECT_NE(b.deviceType, 2);
    EXPECT_EQ(s->frames[2].deviceType, 2);
    EXPECT_EQ(a.x.dead.size() + a.y.dead.size(), 1u);
    EXPECT_EQ(a.x.weak.size() + a.y.weak.size(), 2u);
    EXPECT_GT(a.x.tilts[0], 0);
    // The program frees the library at exit only when setDump returns 0.
    EXPECT_EQ(s->setDumpResult, 0);
    EXPECT_FALSE(s->strictPackets);
    EXPECT_EQ(DefaultScenario().frames.size(), 3u);
}

TEST(ScenarioParser, ReadsEveryKey) {
    const std::string text =
        "\xEF\xBB\xBF# comment\r\n"
        "rate = 250.5\r\nsetdump_result = -3\nseed = 0x1F\ncycle_ms = 2000\nstrict_packets = on\n"
        "at = 1500 disconnect 7\nat = 500 connect 7\n"
        "[frame]\n"
        "name = Frame X/12 #1\nversion = v9 beta\ntype = 2\nusbindex = 7\n"
        "x_cells = 512\ny_cells = 300\nx_module_cells = 32\ny_module_cells = 0\n"
        "x_tilts = 1, 2, 3, 4\ny_tilts = 9\ninfo_st = fail\nsysinfo = no\nfail_every = 3\n"
        "level_ambient = 1\nlevel_ir = 2\nlevel_ambient_ir = 3\nlevel_percent = 4\nlevel_maximal = 5\n"
        "noise = 6\nweak_x = 3:0.5, 10:0.25\nweak_y = 0:1\ndead_x = 5 6\ndead_y = 299\nconnected = no\nrate = 0.4\n";
    ScenarioError error;
    auto s = Parse(text, error);
    ASSERT_TRUE(s) << error.ToString();
    EXPECT_DOUBLE_EQ(s->rate, 250.5);
    EXPECT_EQ(s->setDumpResult, -3);
    EXPECT_EQ(s->seed, 31u);
    EXPECT_EQ(s->cycleMs, 2000);
    EXPECT_TRUE(s->strictPackets);
    ASSERT_EQ(s->timeline.size(), 2u);
    EXPECT_EQ(s->timeline[0].atMs, 500);  // sorted by time
    EXPECT_TRUE(s->timeline[0].connect);
    EXPECT_FALSE(s->timeline[1].connect);
    ASSERT_EQ(s->frames.size(), 1u);
    const FrameSpec& f = s->frames[0];
    EXPECT_EQ(f.name, "Frame X/12 #1");
    EXPECT_DOUBLE_EQ(f.rate, 0.4);
    EXPECT_EQ(f.version, "v9 beta");
    EXPECT_EQ(f.deviceType, 2);
    EXPECT_EQ(f.usbIndexNo, 7);
    EXPECT_EQ(f.x.cells, 512);
    EXPECT_EQ(f.y.cells, 300);
    EXPECT_EQ(f.x.moduleCells, 32);
    EXPECT_EQ(f.y.moduleCells, 0);
    EXPECT_EQ(f.x.tilts, (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(f.y.tilts, (std::array<int, 4>{9, 0, 0, 0}));
    EXPECT_FALSE(f.infoStSucceeds);
    EXPECT_FALSE(f.sysInfoSucceeds);
    EXPECT_EQ(f.failEvery, 3);
    EXPECT_EQ(f.levels.ambient, 1);
    EXPECT_EQ(f.levels.ir, 2);
    EXPECT_EQ(f.levels.ambientIr, 3);
    EXPECT_EQ(f.levels.percent, 4);
    EXPECT_EQ(f.levels.maximal, 5);
    EXPECT_EQ(f.noise, 6);
    ASSERT_EQ(f.x.weak.size(), 2u);
    EXPECT_EQ(f.x.weak[1].index, 10);
    EXPECT_DOUBLE_EQ(f.x.weak[1].factor, 0.25);
    EXPECT_EQ(f.x.dead, (std::vector<int>{5, 6}));
    EXPECT_EQ(f.y.dead, (std::vector<int>{299}));
    EXPECT_FALSE(f.connectedAtStart);
}

TEST(ScenarioParser, NameOfExactly127BytesIsAcceptedAndOneMoreIsNot) {
    ScenarioError error;
    std::string frame = std::string("[frame]\nusbindex = 1\nx_cells = 8\ny_cells = 4\nname = ");
    EXPECT_TRUE(Parse(frame + std::string(127, 'n') + "\n", error));
    EXPECT_FALSE(Parse(frame + std::string(128, 'n') + "\n", error));
    EXPECT_EQ(error.line, 5);
}

struct BadScenario {
    std::string text;
    int line;
    std::string reason;  // a part of the reason
};

// Names the case in test listings by what it expects (the default would print raw bytes).
void PrintTo(const BadScenario& bad, std::ostream* os) { *os << "line " << bad.line << ": " << bad.reason; }

class ScenarioErrors : public ::testing::TestWithParam<BadScenario> {};

TEST_P(ScenarioErrors, NameFileLineAndReason) {
    ScenarioError error;
    EXPECT_FALSE(Parse(GetParam().text, error));
    EXPECT_EQ(error.file, "test.scn");
    EXPECT_EQ(error.line, GetParam().line) << error.ToString();
    EXPECT_NE(error.reason.find(GetParam().reason), std::string::npos) << error.ToString();
    EXPECT_EQ(error.ToString().rfind("test.scn:" + std::to_string(GetParam().line) + ": ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScenarioErrors,
    ::testing::Values(
        BadScenario{"rate = 20\nspeed = 3\n", 2, "unknown key 'speed'"},
        BadScenario{"rate 20\n", 1, "expected 'key = value'"}, BadScenario{"rate = 0\n", 1, "rate needs"},
        BadScenario{"rate = 20x\n", 1, "rate needs"}, BadScenario{"name = A\n", 1, "belongs in a [frame]"},
        BadScenario{"[frame]\nrate = 10001\n", 2, "rate needs"},
        BadScenario{"[frame]\nstrict_packets = on\n", 2, "belongs before the first [frame]"},
        BadScenario{"seed = 1\nstrict_packets = maybe\n", 2, "strict_packets needs"},
        BadScenario{"[frames]\n", 1, "unknown section [frames]"}, BadScenario{"[frame\n", 1, "lacks ']'"},
        BadScenario{"[frame]\nname = A\nusbindex = 1\nx_cells = 0\n", 4, "x_cells needs"},
        BadScenario{"[frame]\nname = A\nusbindex = 1\nx_cells = 4097\n", 4, "x_cells needs"},
        BadScenario{"[frame]\nname = A\nname = B\n", 3, "given twice"},
        BadScenario{"[frame]\nname = A\nx_cells = 8\ny_cells = 8\n", 1, "lacks usbindex"},
        BadScenario{"[frame]\nname = A\nusbindex = 1\nx_cells = 8\n", 1, "lacks x_cells or y_cells"},
        BadScenario{"[frame]\nusbindex = 1\nx_cells = 8\ny_cells = 8\n", 1, "frame without a name"},
        BadScenario{std::string(kMinimalFrame) + "[frame]\nname = B\nusbindex = 1\nx_cells = 8\ny_cells = 8\n", 8,
                    "usbindex 1 already used by the frame on line 1"},
        BadScenario{"[frame]\nname = A\nusbindex = 1\nweak_x = 8:0.5\nx_cells = 8\ny_cells = 4\n", 4,
                    "weak receiver 8 beyond the 8 cells of x"},
        BadScenario{std::string(kMinimalFrame) + "dead_y = 4\n", 6, "dead receiver 4 beyond"},
        BadScenario{std::string(kMinimalFrame) + "weak_x = 2:1.5\n", 6, "factor must be between 0 and 1"},
        BadScenario{std::string(kMinimalFrame) + "weak_x = 2\n", 6, "index:factor"},
        BadScenario{std::string(kMinimalFrame) + "dead_led_x = 9\n", 6, "dead LED 9 beyond LEDs 0..8 of x"},
        BadScenario{std::string(kMinimalFrame) + "weak_led_y = 4:0.5 5:0.5\n", 6, "weak LED 5 beyond LEDs 0..4 of y"},
        BadScenario{std::string(kMinimalFrame) + "weak_led_x = 3\n", 6, "led:factor"},
        BadScenario{std::string(kMinimalFrame) + "x_tilts = 1 2 3 4 5\n", 6, "one to four offsets"},
        BadScenario{std::string(kMinimalFrame) + "info_st = maybe\n", 6, "ok/yes or fail/no"},
        BadScenario{std::string(kMinimalFrame) + "level_ir = 256\n", 6, "level_ir needs"},
        BadScenario{std::string(kMinimalFrame) + "fail_every = 1001\n", 6, "fail_every needs"},
        BadScenario{"fail_every = 2\n", 1, "belongs in a [frame]"},
        BadScenario{std::string(kMinimalFrame) + "sweep = 1\n", 6, "sweep needs 'START DURATION'"},
        BadScenario{std::string(kMinimalFrame) + "sweep = 1 0\n", 6, "sweep needs"},
        BadScenario{std::string(kMinimalFrame) + "sweep = -1 4\n", 6, "sweep needs"},
        BadScenario{std::string(kMinimalFrame) + "stuck_x = 8\n", 6, "stuck receiver 8 beyond the 8 cells of x"},
        BadScenario{std::string(kMinimalFrame) + "sweep = 0 2\nstylus_cells = 0\n", 7, "stylus_cells needs"},
        BadScenario{std::string(kMinimalFrame) + "sweep = 0 2\ntouch_percent = 101\n", 7, "touch_percent needs"},
        BadScenario{std::string(kMinimalFrame) + "stylus_cells = 3\n", 6, "stylus_cells needs 'sweep'"},
        BadScenario{"[frame]\nrecording = a.lgrec\nsweep = 1 2\n", 3, "cannot go with 'recording'"},
        BadScenario{"at = 100 connect 9\n" + std::string(kMinimalFrame), 1, "no frame has usbindex 9"},
        BadScenario{"at = 100 vanish 1\n", 1, "'connect' or 'disconnect'"},
        BadScenario{"cycle_ms = 1000\nat = 1000 connect 1\n" + std::string(kMinimalFrame), 2, "outside the cycle"}));

namespace {

// The code blocks of the library's README, in order.
std::vector<std::string> ReadmeCodeBlocks() {
    std::ifstream in(LUMAGRID_SIM_README);
    std::vector<std::string> blocks;
    std::string line, block;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("```", 0) == 0) {
            if (inside) blocks.push_back(block);
            block.clear();
            inside = !inside;
        } else if (inside) {
            block += line + "\n";
        }
    }
    return blocks;
}

}  // namespace

TEST(ScenarioReadme, ShowsTheBuiltInScenarioAndExamplesThatParse) {
    std::vector<std::string> blocks = ReadmeCodeBlocks();
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_NE(std::find(blocks.begin(), blocks.end(), DefaultScenarioText()), blocks.end());
    ScenarioError error;
    auto timeline = ParseScenario(blocks.back(), "README", error);
    ASSERT_TRUE(timeline) << error.ToString();
    EXPECT_EQ(timeline->timeline.size(), 1u);
}
