#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "reports/LedCheck.h"

namespace {

using namespace reports;

constexpr int kOt = 0x00, kTl1 = 0x10, kTr1 = 0x20, kTl2 = 0x30, kTr2 = 0x40;

// Text and colour together, so that a failure prints both.
using Line = std::pair<std::string, std::uint32_t>;
const Line kHeader{kLedCheckHeader, kStatusRed};
Line X(const std::string& text) { return {text, kStatusRed}; }
Line Y(const std::string& text) { return {text, kStatusBlue}; }

LedAxis Axis(const std::vector<std::uint32_t>& samples, int nStart = 0, unsigned nCellCount = 96,
             unsigned nModuleCell = 0, unsigned nTilt1 = 0, unsigned nTilt2 = 0) {
    LedAxis axis;
    axis.pSamples = samples.data();
    axis.nSamples = samples.size();
    axis.nStart = nStart;
    axis.nCellCount = nCellCount;
    axis.nModuleCell = nModuleCell;
    axis.nTilt1 = nTilt1;
    axis.nTilt2 = nTilt2;
    return axis;
}

std::vector<Line> Check(int nThresholdPercent, int nDumpAxisMask, const LedAxis& x, const LedAxis& y = {}) {
    LedCheckInput input;
    input.nThresholdPercent = nThresholdPercent;
    input.nDumpAxisMask = nDumpAxisMask;
    input.x = x;
    input.y = y;
    std::vector<Line> lines;
    for (const StatusLine& line : RunLedCheck(input)) lines.emplace_back(line.text, line.colour);
    return lines;
}

TEST(LedCheck, PartExampleListsTheDarkAndTheFaintReceiver) {
    const std::vector<std::uint32_t> samples{0, 520, 1000, 1000, 40};
    EXPECT_EQ(Check(33, kOt, Axis(samples)),
              (std::vector<Line>{kHeader, X("(cutline:211) aver:640 => X index(S:1 R:1)  S(1)(1) / R(1)(1) -> 0"),
                                 X("(cutline:211) aver:640 => X index(S:5 R:5)  S(1)(5) / R(1)(5) -> 40")}));
}

TEST(LedCheck, ThresholdIsThePercentGivenOnBothAxes) {
    // Average 2670 / 4 = 667 (integer division); 33 % gives 220, mode 7's 20 % gives 133.
    const std::vector<std::uint32_t> samples{0, 520, 1000, 1000, 150};
    EXPECT_EQ(Check(33, kOt, Axis(samples), Axis(samples)),
              (std::vector<Line>{kHeader, X("(cutline:220) aver:667 => X index(S:1 R:1)  S(1)(1) / R(1)(1) -> 0"),
                                 X("(cutline:220) aver:667 => X index(S:5 R:5)  S(1)(5) / R(1)(5) -> 150"),
                                 Y("(cutline:220) aver:667 => Y index(S:1 R:1)  S(1)(1) / R(1)(1) -> 0"),
                                 Y("(cutline:220) aver:667 => Y index(S:5 R:5)  S(1)(5) / R(1)(5) -> 150")}));
    EXPECT_EQ(Check(20, kOt, Axis(samples), Axis(samples)),
              (std::vector<Line>{kHeader, X("(cutline:133) aver:667 => X index(S:1 R:1)  S(1)(1) / R(1)(1) -> 0"),
                                 Y("(cutline:133) aver:667 => Y index(S:1 R:1)  S(1)(1) / R(1)(1) -> 0")}));
    // Exactly on the cutline is not below it: 25 % of 640 is 160.
    const std::vector<std::uint32_t> onTheLine{160, 1120};
    EXPECT_EQ(Check(25, kOt, Axis(onTheLine)), std::vector<Line>{kHeader});
}

TEST(LedCheck, AxisWithoutSamplesOrLightGivesNoLine) {
    const std::vector<std::uint32_t> dark(8, 0);
    const std::vector<std::uint32_t> none;
    const std::vector<std::uint32_t> weakSecond{400, 100, 400, 400};  // average 325, cutline 107
    const Line weakY = Y("(cutline:107) aver:325 => Y index(S:2 R:2)  S(1)(2) / R(1)(2) -> 100");

    EXPECT_EQ(Check(33, kOt, Axis(dark), Axis(dark)), std::vector<Line>{kHeader});
    EXPECT_EQ(Check(33, kOt, Axis(none), Axis(none)), std::vector<Line>{kHeader});
    EXPECT_EQ(Check(33, kOt, Axis(none), Axis(weakSecond)), (std::vector<Line>{kHeader, weakY}));
    EXPECT_EQ(Check(33, kOt, Axis(dark), Axis(weakSecond)), (std::vector<Line>{kHeader, weakY}));

    LedAxis missing = Axis(weakSecond);  // a count without a buffer is no sample
    missing.pSamples = nullptr;
    EXPECT_EQ(Check(33, kOt, missing, missing), std::vector<Line>{kHeader});
}

TEST(LedCheck, TiltedBeamsOutsideTheAxisAreSkipped) {
    // TR1, X_TILT1 3: receivers 1-3 see LEDs -3..-1; receiver 4 sees LED 0,
    // cell 0 of no module. Y has its own tilt 1: receiver 2 sees LED 0.
    // Zeros stay out of the average: beside one 1000 every 0 lies below 50 % of it.
    const std::vector<std::uint32_t> x{0, 0, 0, 0, 1000};
    const std::vector<std::uint32_t> y{0, 0, 1000};
    EXPECT_EQ(Check(50, kTr1, Axis(x, 0, 8, 4, 3, 7), Axis(y, 0, 8, 4, 1, 7)),
              (std::vector<Line>{kHeader, X("(cutline:500) aver:1000 => X index(S:0 R:4)  S(0)(0) / R(1)(0) -> 0"),
                                 Y("(cutline:500) aver:1000 => Y index(S:0 R:2)  S(0)(0) / R(1)(2) -> 0")}));

    // TL1, X_TILT1 2, 10 cells, receivers 7-10: LEDs 9 and 10 exist, 11 does not.
    const std::vector<std::uint32_t> top{0, 0, 0, 1000};
    EXPECT_EQ(Check(50, kTl1, Axis(top, 6, 10, 0, 2, 0)),
              (std::vector<Line>{kHeader, X("(cutline:500) aver:1000 => X index(S:9 R:7)  S(1)(9) / R(1)(7) -> 0"),
                                 X("(cutline:500) aver:1000 => X index(S:10 R:8)  S(1)(10) / R(1)(8) -> 0")}));
}

TEST(LedCheck, LedNumberFollowsTheDumpAxis) {
    struct Case {
        int nMask;
        int nLed;
    };
    // Receiver 10, tilt set 1 = 3, tilt set 2 = 5.
    for (const Case& c : {Case{kOt, 10}, Case{kTl1, 13}, Case{kTr1, 6}, Case{kTl2, 15}, Case{kTr2, 4}, Case{0x50, 10},
                          Case{0x15, 10}, Case{-1, 10}}) {
        EXPECT_EQ(LedNumber(10, c.nMask, 3, 5), c.nLed) << "mask 0x" << std::hex << c.nMask;
    }
}

TEST(LedCheck, ModuleAndPosition) {
    struct Case {
        int x;
        unsigned nModuleCell;
        int nModule;
        int nPosition;
    };
    for (const Case& c :
         {Case{10, 10, 1, 0}, Case{11, 10, 2, 1}, Case{1, 10, 1, 1}, Case{0, 10, 0, 0}, Case{20, 10, 2, 0},
          Case{21, 10, 3, 1}, Case{5, 1, 5, 0}, Case{7, 0, 1, 7}, Case{0, 0, 1, 0}}) {
        const ModulePosition got = ModuleOf(c.x, c.nModuleCell);
        EXPECT_EQ(got.nModule, c.nModule) << c.x << " with " << c.nModuleCell << " cells";
        EXPECT_EQ(got.nPosition, c.nPosition) << c.x << " with " << c.nModuleCell << " cells";
    }
}

TEST(LedCheck, LinesNameModuleAndPositionOfTheWindow) {
    // Receivers 10 and 11 on either side of a 10-cell module boundary.
    const std::vector<std::uint32_t> boundary{0, 0, 1000};
    EXPECT_EQ(Check(50, kOt, Axis(boundary, 9, 96, 10)),
              (std::vector<Line>{kHeader, X("(cutline:500) aver:1000 => X index(S:10 R:10)  S(1)(0) / R(1)(0) -> 0"),
                                 X("(cutline:500) aver:1000 => X index(S:11 R:11)  S(2)(1) / R(2)(1) -> 0")}));

    // The third module's window starts at receiver index 20: its first receiver is 21.
    // Average 8300 / 9 = 922, cutline 461.
    const std::vector<std::uint32_t> third{0, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 300};
    EXPECT_EQ(Check(50, kOt, Axis(third, 20, 96, 10)),
              (std::vector<Line>{kHeader, X("(cutline:461) aver:922 => X index(S:21 R:21)  S(3)(1) / R(3)(1) -> 0"),
                                 X("(cutline:461) aver:922 => X index(S:30 R:30)  S(3)(0) / R(3)(0) -> 300")}));
}

// Public inputs beyond anything a frame reports: no overflow, no wrap (run under the sanitizers).
TEST(LedCheckHostile, LargestDumpAndValuesBeyondIt) {
    // 4096 receivers at the top level 255 * 40: nothing lies below 100 %.
    const std::vector<std::uint32_t> bright(4096, 255 * 40);
    EXPECT_EQ(Check(100, kOt, Axis(bright, 0, 4096)), std::vector<Line>{kHeader});

    // Sum past 2^32; the average 2863311530 is 2863311616 as a float; the cutline passes INT_MAX.
    const std::vector<std::uint32_t> huge{UINT32_MAX, UINT32_MAX, 0, 1};
    EXPECT_EQ(Check(100, kOt, Axis(huge)),
              (std::vector<Line>{
                  kHeader, X("(cutline:2863311616) aver:2863311616 => X index(S:3 R:3)  S(1)(3) / R(1)(3) -> 0"),
                  X("(cutline:2863311616) aver:2863311616 => X index(S:4 R:4)  S(1)(4) / R(1)(4) -> 1")}));

    const std::vector<std::uint32_t> top{UINT32_MAX, 0};
    const std::vector<Line> all = Check(INT_MAX, kOt, Axis(top));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NE(all[1].first.find("-> 4294967295"), std::string::npos) << all[1].first;
    EXPECT_EQ(Check(INT_MIN, kOt, Axis(top)), std::vector<Line>{kHeader});
    EXPECT_EQ(Check(0, kOt, Axis(top)), std::vector<Line>{kHeader});
}

TEST(LedCheckHostile, ReceiversPastIntMaxKeepTheirNumbers) {
    const std::vector<std::uint32_t> samples{0, 0, 0, 1000};
    EXPECT_EQ(Check(50, kOt, Axis(samples, INT_MAX - 1, UINT_MAX)),
              (std::vector<Line>{kHeader,
                                 X("(cutline:500) aver:1000 => X index(S:2147483647 R:2147483647)  S(1)(2147483647) / "
                                   "R(1)(2147483647) -> 0"),
                                 X("(cutline:500) aver:1000 => X index(S:2147483648 R:2147483648)  S(1)(2147483648) / "
                                   "R(1)(2147483648) -> 0"),
                                 X("(cutline:500) aver:1000 => X index(S:2147483649 R:2147483649)  S(1)(2147483649) / "
                                   "R(1)(2147483649) -> 0")}));
    // A tilt that points past every cell count.
    EXPECT_EQ(Check(50, kTl1, Axis(samples, INT_MAX - 1, UINT_MAX, 0, UINT_MAX)), std::vector<Line>{kHeader});

    // The int forms saturate.
    EXPECT_EQ(LedNumber(INT_MAX, kTl1, UINT_MAX, 0), INT_MAX);
    EXPECT_EQ(LedNumber(INT_MIN, kTr2, 0, UINT_MAX), INT_MIN);
    EXPECT_EQ(ModuleOf(INT_MAX, 1).nModule, INT_MAX);
    EXPECT_EQ(ModuleOf(INT_MAX, UINT_MAX).nModule, 1);
    EXPECT_EQ(ModuleOf(-5, 10).nPosition, -5);  // signed, not a huge unsigned cell
}

TEST(LedCheckHostile, ExtremeGeometrySweep) {
    const std::vector<std::uint32_t> samples{0, 1, UINT32_MAX, 0, 40};
    for (int nStart : {INT_MIN, -3, 0, INT_MAX - 2, INT_MAX}) {
        for (unsigned nCells : {0u, 1u, UINT_MAX}) {
            for (unsigned nModuleCell : {0u, 1u, 7u, UINT_MAX}) {
                for (unsigned nTilt : {0u, 1u, UINT_MAX}) {
                    for (int nMask : {kOt, kTl1, kTr1, kTl2, kTr2}) {
                        const LedAxis axis = Axis(samples, nStart, nCells, nModuleCell, nTilt, nTilt);
                        const std::vector<Line> lines = Check(INT_MAX, nMask, axis, axis);
                        ASSERT_FALSE(lines.empty());
                        EXPECT_EQ(lines.front(), kHeader);
                    }
                }
            }
        }
    }
}

}  // namespace
