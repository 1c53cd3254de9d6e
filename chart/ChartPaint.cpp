// Painting of CRealTimeChart: a cached static layer (background, axes, grid,
// labels, title), the series drawn over a copy of it, one copy to the target.
#include <cmath>
#include <cwchar>

#include "chart/PaintCache.h"
#include "chart/RealTimeChart.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(153, 153, 153);
constexpr COLORREF kSubGrid = RGB(192, 192, 192);
constexpr int kMarkerRadius = 5;

// Threshold of the marker colour test, integer arithmetic as the level is
// meant: trunc(level) * percent / 100, the division truncating toward zero.
long long MarkerThreshold(double dAverageLevel, int nPercent) {
    if (std::isnan(dAverageLevel)) return 0;
    const double level = std::trunc(dAverageLevel);
    const long long trunced = level > 1e15 ? 1000000000000000LL
                              : level < -1e15 ? -1000000000000000LL
                                              : static_cast<long long>(level);
    return trunced * nPercent / 100;
}

void Line(CDC* pDC, CPoint from, CPoint to) {
    pDC->MoveTo(from);
    pDC->LineTo(to);
}

}  // namespace

void CRealTimeChart::OnPaint() {
    CPaintDC dc(this);
    PaintTo(&dc);
}

void CRealTimeChart::OnPrintClient(HDC hDC, UINT nFlags) {
    if (nFlags & PRF_ERASEBKGND) {
        RECT rc{0, 0, 0, 0};
        GetClientRect(&rc);
        ::FillRect(hDC, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    CDC dc;
    dc.Attach(hDC);
    PaintTo(&dc);
    dc.Detach();
}

void CRealTimeChart::PaintTo(CDC* pDC) {
    if (m_nLastIndex == 0) return;
    const int nWidth = m_rcFrame.Width();
    const int nHeight = m_rcFrame.Height();
    if (nWidth <= 0 || nHeight <= 0) return;

    if (m_bRedrawStatic) {
        DrawStaticLayer(pDC);
        m_bRedrawStatic = false;
    }
    if (m_dcStatic.GetSafeHdc() == nullptr) return;

    // The temporary bitmap is kept between paints: every paint overwrites it
    // whole, and creating one costs more than the copies.
    if (!m_pBuffer) m_pBuffer.reset(new chart::PaintBuffer);
    CDC* pTemp = m_pBuffer->Prepare(pDC, nWidth, nHeight);
    if (pTemp == nullptr) return;
    pTemp->BitBlt(0, 0, nWidth, nHeight, &m_dcStatic, 0, 0, SRCCOPY);
    DrawSeries(pTemp);
    pDC->BitBlt(0, 0, nWidth, nHeight, pTemp, 0, 0, SRCCOPY);
}

void CRealTimeChart::DrawStaticLayer(CDC* pDC) {
    if (m_nLastIndex == 0) return;
    const int nWidth = m_rcFrame.Width();
    const int nHeight = m_rcFrame.Height();
    if (m_dcStatic.GetSafeHdc() == nullptr) {
        if (!m_dcStatic.CreateCompatibleDC(pDC)) return;
        m_bmpStatic.CreateCompatibleBitmap(pDC, nWidth, nHeight);
    }
    if (m_bmpStatic.GetSafeHandle() == nullptr) return;
    // Only the bitmap that was there before ours is worth keeping: a rebuild
    // finds ours still selected.
    HGDIOBJ hPrevious = m_dcStatic.SelectObject(&m_bmpStatic);
    if (hPrevious != m_bmpStatic.GetSafeHandle()) m_pOldBitmap = hPrevious;

    // The 2-pixel strip left and above the frame shows the window's class
    // background, as the strip at the right and bottom does.
    RECT rcLayer{0, 0, nWidth, nHeight};
    ::FillRect(m_dcStatic.GetSafeHdc(), &rcLayer, ::GetSysColorBrush(COLOR_BTNFACE));
    DrawBackground(&m_dcStatic);
    DrawAxes(&m_dcStatic);
    DrawGrid(&m_dcStatic);
    if (m_bLogGrid) DrawLogGrid(&m_dcStatic);
    DrawLabels(&m_dcStatic);
    DrawTitle(&m_dcStatic);
}

void CRealTimeChart::DrawBackground(CDC* pDC) {
    CBrush brush(m_crBackground);
    RECT rc{m_rcFrame.left, m_rcFrame.top, m_rcFrame.right, m_rcFrame.bottom};
    pDC->FillRect(&rc, &brush);
}

void CRealTimeChart::DrawAxes(CDC* pDC) {
    CPen pen(PS_SOLID, 2, m_crAxis);
    SelectGuard keepPen(*pDC, pen);
    const double xMid = (m_dXMin + m_dXMax) * 0.5;
    const double yMid = (m_dYMax + m_dYMin) * 0.5;
    switch (m_nAxisStyle) {
    case 0:
        Line(pDC, Map(m_dXMin, m_dYMin), Map(m_dXMax, m_dYMin));
        Line(pDC, Map(m_dXMin, m_dYMin), Map(m_dXMin, m_dYMax));
        break;
    case 1:
        Line(pDC, Map(m_dXMin, yMid), Map(m_dXMax, yMid));
        Line(pDC, Map(m_dXMin, m_dYMin), Map(m_dXMin, m_dYMax));
        break;
    case 2:
        Line(pDC, Map(xMid, m_dYMin), Map(xMid, m_dYMax));
        Line(pDC, Map(m_dXMin, yMid), Map(m_dXMax, yMid));
        break;
    default:
        break;
    }
}

void CRealTimeChart::DrawGrid(CDC* pDC) {
    // Zero divisions give one line at the minimum rather than a NaN step.
    auto xStep = [this] { return m_nXDivisions > 0 ? (m_dXMax - m_dXMin) / m_nXDivisions : 0.0; };
    auto yStep = [this] { return m_nYDivisions > 0 ? (m_dYMax - m_dYMin) / m_nYDivisions : 0.0; };
    auto vertical = [&](int nEvery) {
        const double step = xStep();
        for (int i = 0; i <= m_nXDivisions; ++i) {
            if (i % nEvery != 0) continue;
            const double x = i * step + m_dXMin;
            Line(pDC, Map(x, m_dYMin), Map(x, m_dYMax));
        }
    };
    auto horizontal = [&](int nEvery) {
        const double step = yStep();
        for (int i = 0; i <= m_nYDivisions; ++i) {
            if (i % nEvery != 0) continue;
            const double y = i * step + m_dYMin;
            Line(pDC, Map(m_dXMin, y), Map(m_dXMax, y));
        }
    };

    CPen penMinor(PS_SOLID, 0, m_crGrid);
    CPen penMajor(PS_SOLID, 2, m_crMajorGrid);
    SelectGuard keepPen(*pDC, penMinor);
    vertical(2);
    horizontal(1);
    pDC->SelectObject(&penMajor);
    vertical(10);
    horizontal(5);
}

void CRealTimeChart::DrawLogGrid(CDC* pDC) {
    const double dYMin = m_dYMin;
    const double dYMax = m_dYMax;
    SetRange(m_dXMin, m_dXMax, 0.0, m_nYDivisions);
    {
        CPen pen(PS_SOLID, 0, kSubGrid);
        SelectGuard keepPen(*pDC, pen);
        for (int d = 0; d < m_nYDivisions; ++d) {
            const double step = (std::pow(10.0, d + 1) - std::pow(10.0, d)) / 5.0;
            double v = d;
            for (int k = 0; k < 5; ++k) {
                v = std::log10(std::pow(10.0, v) + step);
                Line(pDC, Map(m_dXMin, v), Map(m_dXMax, v));
            }
        }
    }
    SetRange(m_dXMin, m_dXMax, dYMin, dYMax);
}

void CRealTimeChart::DrawLabels(CDC* pDC) {
    SelectGuard keepFont(*pDC, m_pLabelFont ? m_pLabelFont->GetSafeHandle() : nullptr);
    const UINT oldAlign = pDC->SetTextAlign(TA_RIGHT | TA_TOP);
    const int oldMode = pDC->SetBkMode(TRANSPARENT);

    // Tick labels: one-based receiver numbers, none at the last division.
    const double step = m_nXDivisions > 0 ? (m_dXMax - m_dXMin) / m_nXDivisions : 0.0;
    for (int i = 0; i < m_nXDivisions; ++i) {
        if (m_pLabelFont) pDC->SelectObject(m_pLabelFont);
        if (i % 10 != 0) continue;
        const double x = i * step + m_dXMin;
        const CPoint p = Map(x, m_dYMin);
        CString text;
        text.Format("%d", m_nXLabelOffset + static_cast<int>(std::trunc(x)) + 1);
        const int h = pDC->GetTextExtent(text).cy;
        if (m_pTickFont) pDC->SelectObject(m_pTickFont);
        pDC->TextOut(p.x - h / 2 + 10, p.y + 5, text);
    }

    // The Y caption runs upwards, centred along the left edge, in the rotated
    // font made for it. With that font the right/top alignment puts the
    // caption's end at y and its top (facing left) at x, so these offsets
    // centre it.
    if (!m_strYTitle.IsEmpty()) {
        if (m_pVertFont) pDC->SelectObject(m_pVertFont);
        const CSize extent = pDC->GetTextExtent(m_strYTitle);
        pDC->TextOut(m_rcClient.left + extent.cy / 2,
                     (m_rcClient.top + m_rcClient.bottom) / 2 - extent.cx / 2, m_strYTitle);
    }

    // Leave the DC as found; DrawTitle sets what it needs.
    pDC->SetBkMode(oldMode);
    pDC->SetTextAlign(oldAlign);
}

void CRealTimeChart::DrawTitle(CDC* pDC) {
    SelectGuard keepFont(*pDC, m_pTitleFont ? m_pTitleFont->GetSafeHandle() : nullptr);
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const CSize extent = pDC->GetTextExtent(m_strTitle);
    const UINT oldAlign = pDC->SetTextAlign(TA_LEFT | TA_TOP);
    pDC->TextOut(m_rcFrame.left + (m_rcFrame.right - m_rcFrame.left) / 2 - extent.cx / 2,
                 m_rcClient.top + extent.cy / 2, m_strTitle);
    pDC->SetTextAlign(oldAlign);
    pDC->SetBkMode(oldMode);
}

void CRealTimeChart::DrawSeries(CDC* pDC) {
    if (m_nLastIndex == 0) return;
    // Never beyond the storage (it may have shrunk since the last point) and
    // never a series without arrays.
    const int nLast = DrawableLastIndex();
    if (nLast < 0) return;
    const int nSeries = DrawableSeriesCount();
    for (int s = 0; s < nSeries; ++s) {
        if (m_nDrawStyle % 2 == 0)
            DrawLineSeries(pDC, m_aSeries[s], nLast);
        else
            DrawBarSeries(pDC, m_aSeries[s], nLast);
    }
}

void CRealTimeChart::DrawLineSeries(CDC* pDC, const chart::ChartSeries& series, int nLast) {
    CPen penSeries(PS_SOLID, 2, series.crColor);
    CPen penZero(PS_SOLID, 2, kBlack);
    CPen penLow(PS_SOLID, 2, kBlue);
    SelectGuard keepPen(*pDC, penSeries);

    pDC->MoveTo(Map(series.pX[0], series.pY[0]));
    for (int i = 1; i <= nLast; ++i) pDC->LineTo(Map(series.pX[i], series.pY[i]));

    const double threshold = static_cast<double>(MarkerThreshold(m_dAverageLevel, m_nThresholdPercent));
    // 0 = series pen, 1 = zero value, 2 = below the threshold.
    auto kind = [&](int i) {
        const double v = 40.0 * series.pY[i];
        if (v == 0.0) return 1;
        if (v > 0.0 && v < threshold) return 2;
        return 0;
    };

    int cells[3] = {-1, -1, -1};
    if (m_bFastMarkers) {
        if (!m_pMarkers) m_pMarkers.reset(new chart::MarkerStamps);
        if (m_pMarkers->Begin(pDC)) {
            cells[0] = m_pMarkers->CellFor(pDC, series.crColor);
            cells[1] = m_pMarkers->CellFor(pDC, kBlack);
            cells[2] = m_pMarkers->CellFor(pDC, kBlue);
        }
    }
    if (cells[0] >= 0 && cells[1] >= 0 && cells[2] >= 0) {
        // Into our own temporary bitmap the pixels are written directly.
        const bool bDirect = m_pBuffer && pDC->GetSafeHdc() == m_pBuffer->Hdc() &&
                             m_pBuffer->Pixels().pBits != nullptr && m_pMarkers->CanWritePixels();
        if (bDirect) ::GdiFlush();  // the lines must be in the bits first
        for (int i = 0; i <= nLast; ++i) {
            const CPoint p = Map(series.pX[i], series.pY[i]);
            if (bDirect)
                m_pMarkers->Stamp(m_pBuffer->Pixels(), cells[kind(i)], p.x, p.y);
            else
                m_pMarkers->Stamp(pDC, cells[kind(i)], p.x, p.y);
        }
        return;
    }

    CPen* pens[3] = {&penSeries, &penZero, &penLow};
    for (int i = 0; i <= nLast; ++i) {
        const CPoint p = Map(series.pX[i], series.pY[i]);
        const int k = kind(i);
        if (k != 0) pDC->SelectObject(pens[k]);
        pDC->Ellipse(p.x - kMarkerRadius, p.y - kMarkerRadius, p.x + kMarkerRadius, p.y + kMarkerRadius);
        if (k != 0) pDC->SelectObject(&penSeries);
    }
}

void CRealTimeChart::DrawBarSeries(CDC* pDC, const chart::ChartSeries& series, int nLast) {
    CPen penLine(PS_SOLID, 1, series.crColor);
    CPen penBar(PS_SOLID, 5, series.crColor);
    CPen penZero(PS_SOLID, 5, kBlack);
    CPen penLow(PS_SOLID, 5, kGrey);
    SelectGuard keepPen(*pDC, penLine);

    pDC->MoveTo(Map(series.pX[0], series.pY[0]));
    for (int i = 1; i <= nLast; ++i) {
        const CPoint p = Map(series.pX[i], series.pY[i]);
        pDC->SelectObject(&penLine);
        pDC->LineTo(p);
        const double y = series.pY[i];
        pDC->SelectObject(y == 0.0 ? &penZero : (y > 0.0 && y < 15.0) ? &penLow : &penBar);
        pDC->MoveTo(p.x, m_rcPlot.bottom);
        pDC->LineTo(p);
    }
}

void CRealTimeChart::CreateFonts() {
    if (m_bFontsCreated) {
        // Re-bound to a window: the fonts of the first binding go.
        delete m_pLabelFont;
        delete m_pVertFont;
        delete m_pTitleFont;
        delete m_pTickFont;
        m_bFontsCreated = false;
    }
    LOGFONTW lf{};
    std::wcscpy(lf.lfFaceName, L"Times New Roman");
    CClientDC screen(nullptr);
    const int dpi = screen.GetDeviceCaps(LOGPIXELSY);
    auto make = [&lf](int nPoints, int nWeight, int nAngle, int dpiY) {
        lf.lfHeight = -::MulDiv(nPoints, dpiY, 72);
        lf.lfWeight = nWeight;
        lf.lfEscapement = nAngle;
        lf.lfOrientation = nAngle;
        CFont* pFont = new CFont;
        pFont->CreateFontIndirect(&lf);
        return pFont;
    };
    m_pLabelFont = make(7, 0, 0, dpi);
    m_pTitleFont = make(12, 700, 0, dpi);
    m_pTickFont = make(7, 600, 0, dpi);
    m_pVertFont = make(7, 0, 900, dpi);
}

// ---- Paint cache ------------------------------------------------------------

namespace chart {

int TargetBitsPixel(HDC hdc) {
    BITMAP bm{};
    HGDIOBJ hBitmap = ::GetCurrentObject(hdc, OBJ_BITMAP);
    if (hBitmap != nullptr && ::GetObjectW(hBitmap, sizeof(bm), &bm) != 0 && bm.bmWidth > 1)
        return bm.bmBitsPixel * bm.bmPlanes;
    return ::GetDeviceCaps(hdc, BITSPIXEL) * ::GetDeviceCaps(hdc, PLANES);
}

bool PixelBuffer::Create(CDC* pTarget, int w, int h) {
    pBits = nullptr;
    nWidth = w;
    nHeight = h;
    if (TargetBitsPixel(pTarget->GetSafeHdc()) != 32) return bmp.CreateCompatibleBitmap(pTarget, w, h);
    // The target's own format, with pixels we can reach.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    if (!bmp.Attach(::CreateDIBSection(pTarget->GetSafeHdc(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0))) return false;
    pBits = static_cast<std::uint32_t*>(bits);
    return true;
}

void PaintBuffer::Release() {
    if (m_dc.GetSafeHdc() != nullptr && m_hOldBitmap != nullptr) m_dc.SelectObject(m_hOldBitmap);
    m_hOldBitmap = nullptr;
    m_dc.DeleteDC();
    m_pixels.bmp.DeleteObject();
    m_pixels.pBits = nullptr;
}

CDC* PaintBuffer::Prepare(CDC* pTarget, int w, int h) {
    const int bpp = TargetBitsPixel(pTarget->GetSafeHdc());
    if (m_dc.GetSafeHdc() != nullptr && w == m_pixels.nWidth && h == m_pixels.nHeight && bpp == m_nBitsPixel)
        return &m_dc;
    Release();
    if (!m_dc.CreateCompatibleDC(pTarget) || !m_pixels.Create(pTarget, w, h)) {
        Release();
        return nullptr;
    }
    m_nBitsPixel = bpp;
    m_hOldBitmap = m_dc.SelectObject(&m_pixels.bmp);
    return &m_dc;
}

void MarkerStamps::DropSheet() {
    if (m_dc.GetSafeHdc() != nullptr && m_hOldBitmap != nullptr) m_dc.SelectObject(m_hOldBitmap);
    m_hOldBitmap = nullptr;
    m_dc.DeleteDC();
    m_sheet.bmp.DeleteObject();
    m_sheet.pBits = nullptr;
    m_cells.clear();
    m_dots.clear();
}

bool MarkerStamps::Begin(CDC* pTarget) {
    HDC hdc = pTarget->GetSafeHdc();
    if (::GetROP2(hdc) != R2_COPYPEN || ::GetMapMode(hdc) != MM_TEXT || ::GetGraphicsMode(hdc) != GM_COMPATIBLE)
        return false;
    LOGBRUSH brush{};
    if (::GetObjectW(::GetCurrentObject(hdc, OBJ_BRUSH), sizeof(brush), &brush) != sizeof(brush) ||
        brush.lbStyle != BS_SOLID)
        return false;
    const int bpp = TargetBitsPixel(hdc);
    if (bpp < 8) return false;
    if (m_dc.GetSafeHdc() == nullptr || brush.lbColor != m_crBrush || bpp != m_nBitsPixel) {
        DropSheet();
        if (!m_dc.CreateCompatibleDC(pTarget) || !m_sheet.Create(pTarget, kCell * kMaxCells, 2 * kCell)) {
            DropSheet();
            return false;
        }
        m_hOldBitmap = m_dc.SelectObject(&m_sheet.bmp);
        m_crBrush = brush.lbColor;
        m_nBitsPixel = bpp;
    }
    return true;
}

int MarkerStamps::CellFor(CDC* pTarget, COLORREF crPen) {
    for (size_t i = 0; i < m_cells.size(); ++i)
        if (m_cells[i] == crPen) return static_cast<int>(i);
    if (m_cells.size() >= static_cast<size_t>(kMaxCells)) return -1;
    const int cell = static_cast<int>(m_cells.size());
    const int left = cell * kCell;
    HDC hdc = m_dc.GetSafeHdc();

    // Picture over black in row 0, the same over white in row 1; XOR leaves
    // 0 where Ellipse drew (both agree) and non-zero where it did not.
    ::PatBlt(hdc, left, 0, kCell, kCell, BLACKNESS);
    ::PatBlt(hdc, left, kCell, kCell, kCell, WHITENESS);
    {
        CPen pen(PS_SOLID, 2, crPen);
        SelectGuard keepPen(m_dc, pen);
        // The target's own brush, so the fill is the very same.
        SelectGuard keepBrush(m_dc, ::GetCurrentObject(pTarget->GetSafeHdc(), OBJ_BRUSH));
        const int c = kCell / 2;
        for (int top = 0; top <= kCell; top += kCell)
            ::Ellipse(hdc, left + c - kMarkerRadius, top + c - kMarkerRadius, left + c + kMarkerRadius,
                      top + c + kMarkerRadius);
    }
    ::BitBlt(hdc, left, kCell, kCell, kCell, hdc, left, 0, SRCINVERT);

    std::vector<Dot> dots;
    if (m_sheet.pBits != nullptr) {
        ::GdiFlush();
        const int stride = m_sheet.nWidth;
        for (int dy = 0; dy < kCell; ++dy)
            for (int dx = 0; dx < kCell; ++dx)
                if (m_sheet.pBits[(kCell + dy) * stride + left + dx] == 0)
                    dots.push_back(Dot{dx - kCell / 2, dy - kCell / 2, m_sheet.pBits[dy * stride + left + dx]});
    }
    m_dots.push_back(std::move(dots));
    m_cells.push_back(crPen);
    return cell;
}

void MarkerStamps::Stamp(CDC* pTarget, int nCell, int x, int y) const {
    HDC hdc = pTarget->GetSafeHdc();
    const int left = x - kCell / 2;
    const int top = y - kCell / 2;
    ::BitBlt(hdc, left, top, kCell, kCell, m_dc.GetSafeHdc(), nCell * kCell, kCell, SRCAND);
    ::BitBlt(hdc, left, top, kCell, kCell, m_dc.GetSafeHdc(), nCell * kCell, 0, SRCPAINT);
}

void MarkerStamps::Stamp(const PixelBuffer& target, int nCell, int x, int y) const {
    for (const Dot& d : m_dots[static_cast<size_t>(nCell)]) {
        const int px = x + d.dx;
        const int py = y + d.dy;
        if (px >= 0 && py >= 0 && px < target.nWidth && py < target.nHeight)
            target.pBits[static_cast<size_t>(py) * static_cast<size_t>(target.nWidth) + static_cast<size_t>(px)] = d.value;
    }
}

}  // namespace chart
