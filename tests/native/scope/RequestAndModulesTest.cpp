#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "scope/AxisModules.h"
#include "scope/DumpRequest.h"
#include "scope/ScopeControls.h"

namespace {

using namespace scope;

struct RequestCase {
    int nMode;
    int nAxis;
    unsigned sent;
    unsigned stored;
};

TEST(DumpRequest, ComposesSentAndStoredBytes) {
    const RequestCase cases[] = {
        {SCOPE_PERCENT, DUMP_AXIS_TL2, 0x34, 0x34},
        {SCOPE_MAXIMAL_IR, DUMP_AXIS_TL2, 0x35, 0x35},
        {SCOPE_LEFT_TILT_PERCENT, DUMP_AXIS_TL2, 0x06, 0x36},
        {SCOPE_STOP, DUMP_AXIS_TR1, 0x00, 0x20},  // the gate stays open
        {SCOPE_STOP, DUMP_AXIS_OT, 0x00, 0x00},   // the gate closes
        {SCOPE_AMBIENT, DUMP_AXIS_TR2, 0x42, 0x42},
        {SCOPE_AMBIENT_IR, DUMP_AXIS_OT, 0x01, 0x01},
        {SCOPE_IR, DUMP_AXIS_TL1, 0x13, 0x13},
        {SCOPE_RIGHT_TILT_MAXIMAL, DUMP_AXIS_TR2, 0x09, 0x49},
        {SCOPE_LEFT_TILT_MAXIMAL, DUMP_AXIS_OT, 0x07, 0x07},
    };
    for (const auto& c : cases) {
        const DumpRequest r = ComposeDumpRequest(c.nMode, c.nAxis);
        EXPECT_EQ(r.bySent, c.sent) << "mode " << c.nMode << " axis " << c.nAxis;
        EXPECT_EQ(r.byStored, c.stored) << "mode " << c.nMode << " axis " << c.nAxis;
    }
}

TEST(DumpRequest, RadioIdsMapToAxisCodes) {
    EXPECT_EQ(DumpAxisMaskForRadio(1058), DUMP_AXIS_OT);
    EXPECT_EQ(DumpAxisMaskForRadio(1059), DUMP_AXIS_TL1);
    EXPECT_EQ(DumpAxisMaskForRadio(1060), DUMP_AXIS_TR1);
    EXPECT_EQ(DumpAxisMaskForRadio(1061), DUMP_AXIS_TL2);
    EXPECT_EQ(DumpAxisMaskForRadio(1062), DUMP_AXIS_TR2);
    EXPECT_FALSE(DumpAxisMaskForRadio(1057).has_value());
    EXPECT_FALSE(DumpAxisMaskForRadio(1063).has_value());
    EXPECT_FALSE(DumpAxisMaskForRadio(0).has_value());
}

TEST(DumpRequest, ModeClassesOverAllTenModes) {
    std::string maximal, percent, tilt, waits, clears, reissues;
    for (int m = 0; m < kScopeModeCount; ++m) {
        const char c = static_cast<char>('0' + m);
        if (IsMaximalMode(m)) maximal += c;
        if (IsPercentMode(m)) percent += c;
        if (IsTiltMode(m)) tilt += c;
        if (WaitsBeforeRequest(m)) waits += c;
        if (ClearsChartsAfterRequest(m)) clears += c;
        if (ReissuesOnAxisChange(m)) reissues += c;
    }
    EXPECT_EQ(maximal, "579");
    EXPECT_EQ(percent, "468");
    EXPECT_EQ(tilt, "6789");
    EXPECT_EQ(waits, "579");
    EXPECT_EQ(clears, "89");
    EXPECT_EQ(reissues, "012345");
}

quorvane::FrameSettings Frame(unsigned xt, unsigned xcell, unsigned yt, unsigned ycell) {
    quorvane::FrameSettings f;
    std::memset(&f, 0, sizeof(f));
    f.m_nXTCount = static_cast<std::uint16_t>(xt);
    f.X_MODULE_CELL = static_cast<std::uint16_t>(xcell);
    f.m_nYTCount = static_cast<std::uint16_t>(yt);
    f.Y_MODULE_CELL = static_cast<std::uint16_t>(ycell);
    return f;
}

TEST(AxisModules, HundredBySixteenGivesSevenModulesLastOfFour) {
    const AxisModules m = SplitAxes(Frame(100, 16, 64, 16));
    EXPECT_EQ(m.x, (std::vector<unsigned>{16, 16, 16, 16, 16, 16, 4}));
    EXPECT_EQ(m.y, (std::vector<unsigned>{16, 16, 16, 16}));
    EXPECT_EQ(VisibleModuleButtons(static_cast<int>(m.x.size())), 8);  // Total and 1..7
    EXPECT_EQ(SelectionWindow(7, 100, 16, m.x), (AxisWindow{96, 100, 4}));
    EXPECT_EQ(SelectionWindow(1, 100, 16, m.x), (AxisWindow{0, 16, 16}));
    EXPECT_EQ(SelectionWindow(0, 100, 16, m.x), (AxisWindow{0, 100, 100}));
}

TEST(AxisModules, ButtonRowsHoldTenModulesAtMost) {
    EXPECT_EQ(SplitAxis(160, 16).size(), 10u);
    EXPECT_EQ(VisibleModuleButtons(10), 11);
    const auto twelve = SplitAxis(180, 16);
    EXPECT_EQ(twelve.size(), 12u);
    EXPECT_EQ(twelve.back(), 4u);
    EXPECT_EQ(VisibleModuleButtons(12), 0);  // not even Total
    EXPECT_EQ(VisibleModuleButtons(0), 1);   // Total alone
    EXPECT_EQ(VisibleModuleButtons(-1), 0);
    // The window stays on the whole axis all the same.
    EXPECT_EQ(SelectionWindow(0, 180, 16, twelve), (AxisWindow{0, 180, 180}));
}

TEST(AxisModules, ZeroCellsOnEitherAxisLeavesBothUndivided) {
    AxisModules m = SplitAxes(Frame(100, 16, 64, 0));
    EXPECT_TRUE(m.x.empty());
    EXPECT_TRUE(m.y.empty());
    m = SplitAxes(Frame(100, 0, 64, 16));
    EXPECT_TRUE(m.x.empty());
    EXPECT_TRUE(m.y.empty());
    EXPECT_FALSE(SelectionWindow(1, 100, 16, m.x).has_value());
    EXPECT_TRUE(SplitAxis(0, 16).empty());
    EXPECT_EQ(SplitAxis(16, 16), (std::vector<unsigned>{16}));
}

TEST(AxisModules, SelectionOutsideTheModulesIsRefused) {
    const auto sizes = SplitAxis(100, 16);
    EXPECT_FALSE(SelectionWindow(8, 100, 16, sizes).has_value());
    EXPECT_FALSE(SelectionWindow(-1, 100, 16, sizes).has_value());
    // Module sizes split from another geometry must not yield a window past the axis.
    EXPECT_FALSE(SelectionWindow(7, 100, 32, sizes).has_value());
    EXPECT_FALSE(SelectionWindow(7, 90, 16, sizes).has_value());
}

TEST(ScopeControls, RangeLabel) {
    EXPECT_EQ(RangeLabelText(100), "x  0  (0 - 4095)");
    EXPECT_EQ(RangeLabelText(50), "x 50  (0 - 2047)");
    EXPECT_EQ(RangeLabelText(0), "x100  (0 - 0)");
    EXPECT_EQ(RangeLabelText(1), "x 99  (0 - 40)");
    EXPECT_EQ(RangeLabelText(INT_MIN), "x2147483748  (0 - -87939455385)");
}

TEST(ScopeControls, BarCyclesStylesAndNamesTheNextLook) {
    int style = 0;
    std::string seen;
    for (int press = 0; press < 5; ++press) {
        style = NextChartStyle(style);
        seen += std::to_string(style) + BarCaption(style) + " ";
    }
    EXPECT_EQ(seen, "1Ellipse 2Bar 1Ellipse 2Bar 1Ellipse ");
    EXPECT_STREQ(BarCaption(0), "Bar");
}

TEST(ScopeControls, FilterAndCaptureToggles) {
    DisplayScale s;
    s = ToggleFilter(s);
    EXPECT_EQ(s.num, 2.0);
    EXPECT_EQ(s.den, 3.0);
    s = ToggleFilter(s);
    EXPECT_EQ(s.num, 1.0);
    EXPECT_EQ(s.den, 1.0);

    int state = 1;
    std::uint8_t pending = 0;
    ToggleCapture(state, pending);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(pending, 1);
    ToggleCapture(state, pending);  // off again before a packet came: nothing stays pending
    EXPECT_EQ(state, 1);
    EXPECT_EQ(pending, 0);
}

TEST(ScopeControls, ReferenceLevelAndThresholdFollowTheMode) {
    for (int m = 0; m < kScopeModeCount; ++m) {
        EXPECT_EQ(ReferenceLevel(m, 3000.0), (m == 5 || m == 7 || m == 9) ? 3000.0 : 0.0) << m;
        EXPECT_EQ(ThresholdPercent(m, 33, 20), m <= 5 ? 33 : 20) << m;
    }
}

}  // namespace
