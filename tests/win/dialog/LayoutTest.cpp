// Resizing stretches the panels and pins the button rows to the bottom edge.
#include "DialogFixture.h"

#include <algorithm>

namespace {
class LayoutTest : public DialogTest {
protected:
    void ResizeClient(int cx, int cy) {
        RECT rc{0, 0, cx, cy};
        DWORD style = static_cast<DWORD>(::GetWindowLongW(dlg->m_hWnd, GWL_STYLE));
        DWORD exStyle = static_cast<DWORD>(::GetWindowLongW(dlg->m_hWnd, GWL_EXSTYLE));
        ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
        ::SetWindowPos(dlg->m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOMOVE);
    }
    RECT Place(int nID) {
        RECT rc;
        ::GetWindowRect(::GetDlgItem(dlg->m_hWnd, nID), &rc);
        ::MapWindowPoints(nullptr, dlg->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

UINT Dpi120(HWND) { return 120; }

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
}  // namespace

TEST_F(LayoutTest, At800By500ThePanelsStretchAndTheRowsSitAtTheBottom) {
    Open("LumagridX");
    ResizeClient(800, 500);
    RECT client;
    ::GetClientRect(dlg->m_hWnd, &client);
    ASSERT_EQ(client.right, 800);
    ASSERT_EQ(client.bottom, 500);

    EXPECT_EQ(Place(IDC_X_CHART).right - Place(IDC_X_CHART).left, 780);
    EXPECT_EQ(Place(IDC_Y_CHART).right - Place(IDC_Y_CHART).left, 780);
    EXPECT_EQ(Place(IDC_X_GROUP).right - Place(IDC_X_GROUP).left, 780);
    EXPECT_EQ(dlg->m_chartX.m_rcClient.right, 780);  // the chart took its new size

    RECT stop = Place(IDC_SCOPE_STOP);
    EXPECT_EQ(stop.left, 15);
    EXPECT_EQ(stop.top, 400);
    EXPECT_EQ(stop.bottom, 470);
    EXPECT_EQ(stop.right - stop.left, 72);
    EXPECT_EQ(Place(IDC_FILE_REPORT).left, 837);
    EXPECT_EQ(Place(IDC_LED_CHECK).left, 764);
    EXPECT_EQ(Place(IDC_SCOPE_RIGHT_TILT_MAXIMAL).left, 672);  // hidden, moved all the same

    RECT footer = Place(IDC_FOOTER);
    EXPECT_EQ(footer.top, 480);
    EXPECT_EQ(footer.bottom, 500);
    EXPECT_EQ(footer.right - footer.left, 500);

    RECT ot = Place(IDC_AXIS_OT);
    EXPECT_EQ(ot.left, 96);
    EXPECT_EQ(ot.top, 370);
    EXPECT_EQ(Place(IDC_DUMP_AXIS_LABEL).left, 15);

    RECT status = Place(IDC_STATUS);
    if (status.top > 350) EXPECT_EQ(status.bottom - status.top, 0);
    else EXPECT_EQ(status.bottom - status.top, 500 - status.top - 150);
}

TEST_F(LayoutTest, BelowTheThresholdAndMinimizedNothingMoves) {
    Open();
    ResizeClient(900, 600);
    RECT chart = Place(IDC_X_CHART);
    RECT stop = Place(IDC_SCOPE_STOP);
    RECT list = Place(IDC_DEVICE_LIST);
    ResizeClient(799, 600);
    EXPECT_TRUE(Same(Place(IDC_X_CHART), chart));
    EXPECT_TRUE(Same(Place(IDC_SCOPE_STOP), stop));
    ResizeClient(900, 499);
    EXPECT_TRUE(Same(Place(IDC_SCOPE_STOP), stop));
    ::ShowWindow(dlg->m_hWnd, SW_MINIMIZE);
    EXPECT_TRUE(Same(Place(IDC_SCOPE_STOP), stop));
    EXPECT_TRUE(Same(Place(IDC_DEVICE_LIST), list));
}

TEST_F(LayoutTest, TheDeviceListAndTrackBarNeverMove) {
    Open();
    RECT list = Place(IDC_DEVICE_LIST);
    RECT track = Place(IDC_RANGE);
    ResizeClient(1000, 700);
    EXPECT_TRUE(Same(Place(IDC_DEVICE_LIST), list));
    EXPECT_TRUE(Same(Place(IDC_RANGE), track));
}

// At 125 % the margins, the rows and the threshold grow by a quarter (rounded
// as MulDiv does); nothing else of the layout changes. (The null driver's
// screen is too small for a 150 % window.)
TEST_F(LayoutTest, At120DpiTheRowsMarginsAndThresholdScale) {
    Open("LumagridX");
    dlg->m_pfnWindowDpi = &Dpi120;
    ResizeClient(999, 625);
    RECT before = Place(IDC_SCOPE_STOP);
    ResizeClient(1000, 624);
    EXPECT_TRUE(Same(Place(IDC_SCOPE_STOP), before)) << "laid out below 1000 x 625";
    ResizeClient(1000, 625);
    RECT client;
    ::GetClientRect(dlg->m_hWnd, &client);
    ASSERT_EQ(client.right, 1000);
    ASSERT_EQ(client.bottom, 625);
    // W - 25, but a chart ends 5 pixels inside the window at the most.
    const RECT chart = Place(IDC_X_CHART);
    EXPECT_EQ(chart.right - chart.left, std::min<LONG>(975, 995 - chart.left));
    EXPECT_EQ(Place(IDC_Y_GROUP).right - Place(IDC_Y_GROUP).left, std::min<LONG>(975, 995 - Place(IDC_Y_GROUP).left));
    EXPECT_LE(Place(IDC_Y_CHART).right, 995);
    RECT stop = Place(IDC_SCOPE_STOP);
    EXPECT_EQ(stop.left, 19);
    EXPECT_EQ(stop.top, 500);
    EXPECT_EQ(stop.right - stop.left, 90);
    EXPECT_EQ(stop.bottom - stop.top, 88);
    EXPECT_EQ(Place(IDC_SCOPE_AMBIENT_IR).left, 110);
    EXPECT_EQ(Place(IDC_LED_CHECK).left, 955);
    RECT ot = Place(IDC_AXIS_OT);
    EXPECT_EQ(ot.left, 120);
    EXPECT_EQ(ot.top, 462);
    EXPECT_EQ(ot.right - ot.left, 100);
    EXPECT_EQ(ot.bottom - ot.top, 25);
    RECT footer = Place(IDC_FOOTER);
    EXPECT_EQ(footer.left, 13);
    EXPECT_EQ(footer.top, 600);
    EXPECT_EQ(footer.right - footer.left, 625);
    RECT status = Place(IDC_STATUS);
    if (status.top > 625 - 188) EXPECT_EQ(status.bottom - status.top, 0);
    else EXPECT_EQ(status.bottom - status.top, 625 - status.top - 188);
}
