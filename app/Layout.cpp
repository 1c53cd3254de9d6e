// Placement of the controls when the main window's size changes.
#include "app/LumagridDlg.h"
#include "app/resource.h"

namespace {
// Below this client size nothing moves.
constexpr int kMinLayoutWidth = 800;
constexpr int kMinLayoutHeight = 500;

struct RowSlot {
    int nID;
    int x;
};

constexpr RowSlot kDumpAxisRow[] = {
    {IDC_DUMP_AXIS_LABEL, 15}, {IDC_AXIS_OT, 96}, {IDC_AXIS_TL1, 177},
    {IDC_AXIS_TR1, 258},      {IDC_AXIS_TL2, 339}, {IDC_AXIS_TR2, 420}};

constexpr RowSlot kButtonRow[] = {
    {IDC_SCOPE_STOP, 15},
    {IDC_SCOPE_AMBIENT_IR, 88},
    {IDC_SCOPE_AMBIENT, 161},
    {IDC_SCOPE_IR, 234},
    {IDC_SCOPE_PERCENT, 307},
    {IDC_SCOPE_MAXIMAL_IR, 380},
    {IDC_SCOPE_LEFT_TILT_PERCENT, 453},
    {IDC_SCOPE_LEFT_TILT_MAXIMAL, 526},
    {IDC_SCOPE_RIGHT_TILT_PERCENT, 599},
    {IDC_SCOPE_RIGHT_TILT_MAXIMAL, 672},
    {IDC_LED_CHECK, 764},
    {IDC_FILE_REPORT, 837}};
}  // namespace

void CLumagridDlg::OnSize(UINT nType, int cx, int cy) {
    (void)nType;
    (void)cx;
    (void)cy;
    Default();
    LayoutControls();
}

void CLumagridDlg::LayoutControls() {
    CRect rcClient;
    GetClientRect(&rcClient);
    const int W = rcClient.Width();
    const int H = rcClient.Height();
    if (H < kMinLayoutHeight || W < kMinLayoutWidth) return;

    // Panels stretched to the width; the status box also down to the button rows.
    auto stretch = [&](CWnd& wnd, bool bStatusBox) -> bool {
        if (wnd.m_hWnd == nullptr || !::IsWindow(wnd.m_hWnd)) return false;
        CRect rc;
        wnd.GetWindowRect(&rc);
        ScreenToClient(&rc);
        int nHeight = rc.Height();
        if (bStatusBox) {
            nHeight = H - rc.top - 150;
            if (nHeight < 0) nHeight = 0;
        }
        ::SetWindowPos(wnd.m_hWnd, HWND_TOP, rc.left, rc.top, W - 20, nHeight, SWP_SHOWWINDOW);
        return true;
    };
    stretch(m_groupX, false);
    stretch(m_groupY, false);
    for (CRealTimeChart* pChart : {&m_chartX, &m_chartY}) {
        if (pChart->m_nSeriesCount > 0 && stretch(*pChart, false)) {
            pChart->Resize();
            pChart->Invalidate(TRUE);
            pChart->Refresh(FALSE);
        }
    }
    stretch(m_richStatus, true);

    auto place = [&](int nID, int x, int y, int cx, int cy) {
        if (HWND hCtrl = ::GetDlgItem(m_hWnd, nID)) ::MoveWindow(hCtrl, x, y, cx, cy, TRUE);
    };
    for (const RowSlot& slot : kDumpAxisRow) place(slot.nID, slot.x, H - 130, 80, 20);
    for (const RowSlot& slot : kButtonRow) place(slot.nID, slot.x, H - 100, 72, 70);
    place(IDC_FOOTER, 10, H - 20, 500, 20);

    Invalidate(TRUE);
}
