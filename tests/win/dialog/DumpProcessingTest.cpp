// Dump packets through the real handler into the two charts and the read-outs.
#include "DialogFixture.h"

#include <thread>

namespace {
class DumpTest : public DialogTest {
protected:
    // A frame of 4 X and 2 Y receivers, selected and dumping Ambient+IR.
    void SelectSmallFrame() { SelectOnly(fake::Frame("SMALL", 5, 4, 2, 0, 0)); }
    static std::vector<std::uint8_t> Packet(std::vector<std::uint8_t> x, std::vector<std::uint8_t> y) {
        std::vector<std::uint8_t> p(7, 0xEE);
        p.insert(p.end(), x.begin(), x.end());
        p.insert(p.end(), y.begin(), y.end());
        return p;
    }
    void Tick() { ::SendMessageW(dlg->m_hWnd, WM_TIMER, 0, 0); }
    double XPoint(int series, int i) { return dlg->m_chartX.m_aSeries[series].pY[i]; }
};
}  // namespace

TEST_F(DumpTest, PacketBecomesPointsAndAnAverageOfTheNonZeroReceivers) {
    SelectSmallFrame();
    EXPECT_EQ(SendDump(Packet({0, 50, 100, 0}, {10, 30})), 0);
    EXPECT_EQ(dlg->m_chartX.GetPointCount(), 4);
    EXPECT_EQ(XPoint(0, 0), 0.0);
    EXPECT_EQ(XPoint(0, 1), 50.0);
    EXPECT_EQ(XPoint(0, 2), 100.0);
    EXPECT_EQ(XPoint(0, 3), 0.0);
    EXPECT_EQ(dlg->m_strXAverage, "3000.00");
    EXPECT_EQ(dlg->m_strYAverage, "800.00");
    EXPECT_EQ(dlg->m_chartX.m_dAverageLevel, 0.0);  // not a Maximal mode
    Tick();
    EXPECT_EQ(Text(IDC_X_AVERAGE), "3000.00");
    EXPECT_EQ(Text(IDC_Y_AVERAGE), "800.00");
    EXPECT_TRUE(dlg->m_arrXSamples.empty());  // nobody waits for samples
}

TEST_F(DumpTest, MaximalModeMakesTheAverageTheReferenceLevel) {
    SelectSmallFrame();
    Click(IDC_SCOPE_MAXIMAL_IR);
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    EXPECT_EQ(dlg->m_chartX.m_dAverageLevel, 3000.0);
    EXPECT_EQ(dlg->m_chartX.m_nThresholdPercent, 33);
}

TEST_F(DumpTest, PercentModesShowZeroPointZero) {
    SelectSmallFrame();
    Click(IDC_SCOPE_PERCENT);
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    Tick();
    EXPECT_EQ(Text(IDC_X_AVERAGE), "0.0");
    EXPECT_EQ(Text(IDC_Y_AVERAGE), "0.0");
}

TEST_F(DumpTest, FilterShowsTwoThirds) {
    SelectSmallFrame();
    Click(IDC_FILTER);
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    EXPECT_NEAR(XPoint(0, 1), 33.333, 0.001);
    EXPECT_NEAR(XPoint(0, 2), 66.667, 0.001);
    EXPECT_EQ(dlg->m_strXAverage, "2000.00");
}

TEST_F(DumpTest, AllDarkWindowAveragesToZeroWithoutDividing) {
    SelectSmallFrame();
    Click(IDC_SCOPE_MAXIMAL_IR);
    SendDump(Packet({0, 0, 0, 0}, {0, 0}));
    EXPECT_EQ(dlg->m_strXAverage, "0.00");
    EXPECT_EQ(dlg->m_chartX.m_dAverageLevel, 0.0);
}

TEST_F(DumpTest, ClosedGateOrNullPacketChangesNothing) {
    SelectSmallFrame();
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    EXPECT_EQ(::SendMessageW(dlg->m_hWnd, quorvane::WM_READ_DUMP, 0, 0), 0);
    EXPECT_EQ(dlg->m_strXAverage, "3000.00");
    Click(IDC_SCOPE_STOP);  // axis OT: the gate closes
    SendDump(Packet({9, 9, 9, 9}, {9, 9}));
    EXPECT_EQ(dlg->m_strXAverage, "3000.00");
    EXPECT_EQ(XPoint(0, 1), 50.0);
}

TEST_F(DumpTest, CapturesAddFrozenSeriesBeforeTheLiveOne) {
    SelectSmallFrame();
    Click(IDC_CAPTURE1);
    SendDump(Packet({10, 20, 30, 40}, {1, 2}));
    SendDump(Packet({11, 21, 31, 41}, {1, 2}));
    EXPECT_EQ(dlg->m_chartX.m_nDrawSeries, 2);
    EXPECT_EQ(XPoint(0, 0), 10.0);  // capture 1, frozen, yellow
    EXPECT_EQ(XPoint(1, 0), 11.0);  // live, red
    EXPECT_EQ(dlg->m_chartX.m_aSeries[0].crColor, chart::kYellow);
    EXPECT_EQ(dlg->m_chartX.m_aSeries[1].crColor, chart::kRed);

    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CAPTURE2, BN_CLICKED), 0);
    SendDump(Packet({12, 22, 32, 42}, {1, 2}));
    SendDump(Packet({13, 23, 33, 43}, {1, 2}));
    EXPECT_EQ(dlg->m_chartX.m_nDrawSeries, 3);
    EXPECT_EQ(XPoint(0, 0), 12.0);  // capture 2, magenta
    EXPECT_EQ(XPoint(1, 0), 10.0);  // capture 1, yellow
    EXPECT_EQ(XPoint(2, 0), 13.0);  // live
    EXPECT_EQ(dlg->m_chartX.m_aSeries[0].crColor, chart::kMagenta);
}

TEST_F(DumpTest, BarCycleAndCaption) {
    SelectSmallFrame();
    Click(IDC_BAR);
    EXPECT_EQ(dlg->m_nChartStyle, 1);
    EXPECT_EQ(Text(IDC_BAR), "Ellipse");
    EXPECT_FALSE(IsChecked(IDC_BAR));
    Click(IDC_BAR);
    EXPECT_EQ(dlg->m_nChartStyle, 2);
    EXPECT_EQ(Text(IDC_BAR), "Bar");
    Click(IDC_BAR);
    EXPECT_EQ(dlg->m_nChartStyle, 1);
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    EXPECT_EQ(dlg->m_chartX.m_nDrawStyle, 1);
}

TEST_F(DumpTest, TrackBarSetsTheRangeOnlyForPageAndThumbPosition) {
    SelectSmallFrame();
    SendDump(Packet({0, 50, 100, 0}, {10, 30}));
    HWND hTrack = ::GetDlgItem(dlg->m_hWnd, IDC_RANGE);
    EXPECT_EQ(Text(IDC_RANGE_LABEL), "x  0  (0 - 4095)");
    ::SendMessageW(hTrack, TBM_SETPOS, TRUE, 50);
    ::SendMessageW(dlg->m_hWnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 50), reinterpret_cast<LPARAM>(hTrack));
    EXPECT_EQ(dlg->m_nRangeMax, 100);
    ::SendMessageW(dlg->m_hWnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 50), reinterpret_cast<LPARAM>(hTrack));
    EXPECT_EQ(dlg->m_nRangeMax, 50);
    EXPECT_EQ(Text(IDC_RANGE_LABEL), "x 50  (0 - 2047)");
    EXPECT_EQ(dlg->m_chartX.m_dYMax, 50.0);
    EXPECT_EQ(dlg->m_chartY.m_dYMax, 50.0);
    EXPECT_EQ(dlg->m_chartX.m_dXMax, 4.0);
}

TEST_F(DumpTest, CapturesCoverFramesOfMoreThan1024Receivers) {
    SelectOnly(fake::Frame("WIDE", 1, 900, 600, 0, 0));
    Click(IDC_CAPTURE1);
    std::vector<std::uint8_t> packet(7 + 1500, 77);
    SendDump(packet);
    ASSERT_GE(dlg->m_adCapture1.size(), 1500u);
    EXPECT_EQ(dlg->m_adCapture1[900 + 599], 77.0);
}

namespace {
double g_dClockMs = 0.0;
double SteppedClock() { return g_dClockMs; }

// Whether a chart waits for a repaint; takes the wait away.
bool TakeRepaint(CRealTimeChart& chart) {
    const bool bInvalid = ::GetUpdateRect(chart.m_hWnd, nullptr, FALSE) != FALSE;
    ::ValidateRect(chart.m_hWnd, nullptr);
    return bInvalid;
}
}  // namespace

// Every packet's points go in; the charts are repainted at most once per
// display frame, and the held-back packets of a stream that stopped are shown
// by the next tick.
TEST_F(DumpTest, PacketsWithinADisplayFrameShareOneRepaint) {
    SelectSmallFrame();
    dlg->m_pfnNowMs = &SteppedClock;
    g_dClockMs = 10000.0;
    SendDump(Packet({1, 1, 1, 1}, {1, 1}));
    EXPECT_TRUE(TakeRepaint(dlg->m_chartX));
    EXPECT_TRUE(TakeRepaint(dlg->m_chartY));

    g_dClockMs += 5.0;
    SendDump(Packet({2, 2, 2, 2}, {2, 2}));
    EXPECT_EQ(XPoint(0, 0), 2.0);
    EXPECT_FALSE(TakeRepaint(dlg->m_chartX));
    EXPECT_FALSE(TakeRepaint(dlg->m_chartY));
    Tick();  // too early: the frame has not passed
    EXPECT_FALSE(TakeRepaint(dlg->m_chartX));

    g_dClockMs += scope::RepaintPacer::kDefaultFrameMs;
    Tick();
    EXPECT_TRUE(TakeRepaint(dlg->m_chartX));
    EXPECT_TRUE(TakeRepaint(dlg->m_chartY));
    Tick();  // nothing held any more
    EXPECT_FALSE(TakeRepaint(dlg->m_chartX));

    g_dClockMs += scope::RepaintPacer::kDefaultFrameMs;
    SendDump(Packet({3, 3, 3, 3}, {3, 3}));
    EXPECT_TRUE(TakeRepaint(dlg->m_chartX));
    EXPECT_TRUE(TakeRepaint(dlg->m_chartY));
}

namespace {
// A message the library's thread sends while the click handler is inside its
// stop request: the send waits for the dialog's thread to take it.
struct LateSend {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    std::thread sender;
} g_late;

void SendLateMessageOnce() {
    if (g_late.sender.joinable()) return;
    g_late.sender = std::thread([] { ::SendMessageW(g_late.window, g_late.message, g_late.wParam, 0); });
    ::Sleep(100);  // the send now waits for the dialog's thread
}
}  // namespace

// The last packet of the frame streaming before the click would be read with
// the clicked frame's counts afterwards.
TEST_F(DumpTest, PacketSentBeforeARequestIsDroppedNotReadWithTheNextFrameCounts) {
    fake::Current().devices = {fake::Frame("SMALL", 5, 4, 2, 0, 0), fake::Frame("BIG", 6, 40, 30, 0, 0)};
    Open();
    Connect(2);
    ClickRow(0);
    std::vector<std::uint8_t> bytes(7 + 40 + 30, 50);  // long enough that the fault, if any, reads no foreign memory
    g_late.window = dlg->m_hWnd;
    g_late.message = quorvane::WM_READ_DUMP;
    g_late.wParam = reinterpret_cast<WPARAM>(bytes.data());
    fake::Current().onSetDump = &SendLateMessageOnce;
    ClickRow(1);
    fake::Current().onSetDump = nullptr;
    PumpMessages();
    g_late.sender.join();
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 40);
    EXPECT_EQ(dlg->m_strXAverage, "") << "the late packet was read";
    SendDump(Packet(std::vector<std::uint8_t>(40, 10), std::vector<std::uint8_t>(30, 10)));
    EXPECT_EQ(dlg->m_strXAverage, "400.00");  // the new frame's own packets go through
}

// Dropping waiting packets must not run the refill inside the click: the click
// would then find no row marked and select nothing.
TEST_F(DumpTest, ConnectSentDuringAClickIsHandledAfterIt) {
    fake::Current().devices = {fake::Frame("SMALL", 5, 4, 2, 0, 0), fake::Frame("BIG", 6, 40, 30, 0, 0)};
    Open();
    Connect(2);
    g_late.window = dlg->m_hWnd;  // a change of the connected frames
    g_late.message = quorvane::WM_USB_CONNECT;
    g_late.wParam = 2;
    fake::Current().onSetDump = &SendLateMessageOnce;
    ClickRow(1);
    fake::Current().onSetDump = nullptr;
    EXPECT_EQ(dlg->m_FrameSettings.m_nXTCount, 40);
    EXPECT_EQ(fake::Current().SetDumps().back(), "setDump 6 0x01");
    PumpMessages();
    g_late.sender.join();
    EXPECT_EQ(dlg->DeviceList.GetItemCount(), 2);
    EXPECT_EQ(dlg->DeviceList.GetSelectionMark(), -1);  // the refill came afterwards
}
