// Placement of the controls when the main window's size changes.
#include "app/LumagridDlg.h"
#include "app/resource.h"

#include <algorithm>

namespace {
// Below this client size nothing moves.
constexpr int kMinLayoutWidth = 800;
constexpr int kMinLayoutHeight = 500;

struct RowSlot {
    int nID;
    int x;
};

constexpr RowSlot kDumpAxisRow[] = {{IDC_DUMP_AXIS_LABEL, 15}, {IDC_AXIS_OT, 96},   {IDC_AXIS_TL1, 177},
                                    {IDC_AXIS_TR1, 258},       {IDC_AXIS_TL2, 339}, {IDC_AXIS_TR2, 420}};

constexpr RowSlot kButtonRow[] = {{IDC_SCOPE_STOP, 15},
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

// The window's DPI: GetDpiForWindow where the system has it (Windows 10 1607
// on), else the screen's; 96 when neither answers.
UINT CLumagridDlg::WindowDpi(HWND hWnd) {
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static const GetDpiForWindowFn pfnGetDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT nDpi = pfnGetDpiForWindow != nullptr ? pfnGetDpiForWindow(hWnd) : 0;
    if (nDpi == 0) {
        HDC hScreen = ::GetDC(nullptr);
        const int nScreenDpi = hScreen != nullptr ? ::GetDeviceCaps(hScreen, LOGPIXELSY) : 0;
        if (hScreen != nullptr) ::ReleaseDC(nullptr, hScreen);
        nDpi = nScreenDpi > 0 ? static_cast<UINT>(nScreenDpi) : 96;
    }
    return nDpi;
}

void CLumagridDlg::OnSize(UINT nType, int cx, int cy) {
    (void)nType;
    (void)cx;
    (void)cy;
    Default();
    LayoutControls();
}

// The constants are pixels at 96 DPI; the template's controls grow with the
// dialog font by themselves, these by the window's DPI, or captions clip.
void CLumagridDlg::LayoutControls() {
    const int nDpi = static_cast<int>(m_pfnWindowDpi(m_hWnd));
    auto px = [nDpi](int n) { return ::MulDiv(n, nDpi, 96); };
    CRect rcClient;
    GetClientRect(&rcClient);
    const int W = rcClient.Width();
    const int H = rcClient.Height();
    if (H < px(kMinLayoutHeight) || W < px(kMinLayoutWidth)) return;

    // Panels stretched to the width; the status box also down to the button rows.
    auto stretch = [&](CWnd& wnd, bool bStatusBox) -> bool {
        if (wnd.m_hWnd == nullptr || !::IsWindow(wnd.m_hWnd)) return false;
        CRect rc;
        wnd.GetWindowRect(&rc);
        ScreenToClient(&rc);
        int nHeight = rc.Height();
        if (bStatusBox) {
            nHeight = H - rc.top - px(150);
            if (nHeight < 0) nHeight = 0;
        }
        int nWidth = W - px(20);
        // The template's left edges grow with the dialog font, a little more
        // than the margin does: scaled up, a chart would end past the window.
        if (nDpi > 96) nWidth = std::min<int>(nWidth, W - px(4) - rc.left);
        ::SetWindowPos(wnd.m_hWnd, HWND_TOP, rc.left, rc.top, nWidth, nHeight, SWP_SHOWWINDOW);
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
    for (const RowSlot& slot : kDumpAxisRow) place(slot.nID, px(slot.x), H - px(130), px(80), px(20));
    for (const RowSlot& slot : kButtonRow) place(slot.nID, px(slot.x), H - px(100), px(72), px(70));
    place(IDC_FOOTER, px(10), H - px(20), px(500), px(20));

    Invalidate(TRUE);
}
