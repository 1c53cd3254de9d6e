#include "chart/RealTimeChart.h"

#include "chart/PaintCache.h"

BEGIN_MESSAGE_MAP(CRealTimeChart, CWnd)
    ON_WM_PAINT()
    // PrintWindow (screenshots) asks the window to paint into its DC.
    ON_WM_PRINTCLIENT()
END_MESSAGE_MAP()

CRealTimeChart::CRealTimeChart() {
    // The dialog template names the class, so it must exist before the dialog does.
    if (!RegisterWindowClass()) AfxThrowResourceException();
}

CRealTimeChart::~CRealTimeChart() {
    // The static layer's bitmap must leave its DC before either is deleted
    // (the members' destructors delete the DC, then the bitmap).
    if (m_dcStatic.GetSafeHdc() != nullptr && m_pOldBitmap != nullptr) m_dcStatic.SelectObject(m_pOldBitmap);
    if (m_bFontsCreated) {
        delete m_pLabelFont;
        delete m_pVertFont;
        delete m_pTitleFont;
        delete m_pTickFont;
    }
    // The series storage is released by ChartModel's destructor.
}

BOOL CRealTimeChart::RegisterWindowClass() {
    HINSTANCE hInst = AfxGetInstanceHandle();
    WNDCLASSW wc{};
    if (::GetClassInfoW(hInst, REALTIME_CHART_CLASSNAME, &wc)) return TRUE;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInst;
    wc.hIcon = nullptr;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = REALTIME_CHART_CLASSNAME;
    return AfxRegisterClass(&wc);
}

void CRealTimeChart::PreSubclassWindow() {
    CWnd::PreSubclassWindow();
    RECT rc{0, 0, 0, 0};
    GetClientRect(&rc);
    SetClientRect(chart::PixelRect{rc.left, rc.top, rc.right, rc.bottom});
    CreateFonts();
    m_bFontsCreated = true;
}

void CRealTimeChart::Refresh(BOOL bRedrawStatic) {
    if (bRedrawStatic) m_bRedrawStatic = true;
    // A null window would invalidate the whole desktop.
    if (m_hWnd != nullptr) InvalidateRect(nullptr, bRedrawStatic);
}

void CRealTimeChart::ClearValues() {
    ClearSeriesValues();
    if (m_hWnd != nullptr) OnPaint();
    Refresh(TRUE);
}

void CRealTimeChart::Resize() {
    if (m_hWnd == nullptr) return;
    RECT rc{0, 0, 0, 0};
    GetClientRect(&rc);
    SetClientRect(chart::PixelRect{rc.left, rc.top, rc.right, rc.bottom});

    CClientDC dc(this);
    if (m_dcStatic.GetSafeHdc() != nullptr) {
        if (m_pOldBitmap != nullptr) m_dcStatic.SelectObject(m_pOldBitmap);
        m_pOldBitmap = nullptr;
        m_dcStatic.CreateCompatibleDC(&dc);  // deletes the old DC first
        m_bmpStatic.CreateCompatibleBitmap(&dc, m_rcFrame.Width(), m_rcFrame.Height());
    }
    m_bRedrawStatic = true;
    InvalidateRect(nullptr, TRUE);
}

void CRealTimeChart::OnStorageFailure() { AfxMessageBox("Can not allocate serie", MB_OK); }

CPoint CRealTimeChart::Map(double x, double y) const {
    const chart::PixelPoint p = MapPoint(x, y);
    return CPoint(p.x, p.y);
}
