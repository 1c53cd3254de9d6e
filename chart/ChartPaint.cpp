// Painting of CRealTimeChart: a cached static layer (background, axes, grid,
// labels, title), the series drawn over a copy of it, one copy to the target.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "chart/PaintCache.h"
#include "chart/RealTimeChart.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(153, 153, 153);
constexpr COLORREF kSubGrid = RGB(192, 192, 192);

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
    // Nothing before the first point, nor once the storage has shrunk to one
    // point, which no point can be added to: its stale zero would stand for a
    // dead receiver.
    if (DrawableLastIndex() <= 0) return;
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
    if (DrawableLastIndex() <= 0) return;
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
        default: break;
    }
}

void CRealTimeChart::DrawGrid(CDC* pDC) {
    // Zero divisions give one line at the minimum rather than a NaN step.
    auto xStep = [this] { return m_nXDivisions > 0 ? (m_dXMax - m_dXMin) / m_nXDivisions : 0.0; };
    auto yStep = [this] { return m_nYDivisions > 0 ? (m_dYMax - m_dYMin) / m_nYDivisions : 0.0; };
    // Line i of a pass depends on i only through its pixel column (row), so one
    // line per distinct pixel draws the very picture of all of them.
    auto vertical = [&](int nEvery) {
        if (m_nXDivisions < 0) return;
        const double step = xStep();
        auto at = [&](int k) { return k * nEvery * step + m_dXMin; };
        chart::ForEachDistinct(
            m_nXDivisions / nEvery, [&](int k) { return MapPoint(at(k), m_dYMin).x; },
            [&](int k) { Line(pDC, Map(at(k), m_dYMin), Map(at(k), m_dYMax)); });
    };
    auto horizontal = [&](int nEvery) {
        if (m_nYDivisions < 0) return;
        const double step = yStep();
        auto at = [&](int k) { return k * nEvery * step + m_dYMin; };
        chart::ForEachDistinct(
            m_nYDivisions / nEvery, [&](int k) { return MapPoint(m_dXMin, at(k)).y; },
            [&](int k) { Line(pDC, Map(m_dXMin, at(k)), Map(m_dXMax, at(k))); });
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
        // 10^308 is the last decade a double holds.
        const int nDecades = std::min(m_nYDivisions, 308);
        for (int d = 0; d < nDecades; ++d) {
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

    // Tick labels at every tenth division, one-based receiver numbers, none at
    // the last division.
    if (m_nXDivisions > 0) {
        const double step = (m_dXMax - m_dXMin) / m_nXDivisions;
        auto at = [&](int k) { return k * 10.0 * step + m_dXMin; };
        auto label = [&](int k) {
            if (m_pLabelFont) pDC->SelectObject(m_pLabelFont);
            const double x = at(k);
            if (!std::isfinite(x)) return;
            const CPoint p = Map(x, m_dYMin);
            // In 64 bits: a wide range gives numbers an int cannot hold.
            const double whole = std::clamp(std::trunc(x), -1e15, 1e15);
            const CString text(std::to_string(m_nXLabelOffset + static_cast<long long>(whole) + 1).c_str());
            const int h = pDC->GetTextExtent(text).cy;
            if (m_pTickFont) pDC->SelectObject(m_pTickFont);
            pDC->TextOut(p.x - h / 2 + 10, p.y + 5, text);
        };
        const int nLast = (m_nXDivisions - 1) / 10;
        if (m_nXDivisions <= kMaxLabelledDivisions)
            chart::ForEachDistinct(
                nLast, [](int k) { return k; }, label);
        else
            chart::ForEachDistinct(
                nLast, [&](int k) { return MapPoint(at(k), m_dYMin).x; }, label);
    }

    // The Y caption runs upwards, centred along the left edge, in the rotated
    // font made for it. With that font the right/top alignment puts the
    // caption's end at y and its top (facing left) at x, so these offsets
    // centre it.
    if (!m_strYTitle.IsEmpty()) {
        if (m_pVertFont) pDC->SelectObject(m_pVertFont);
        const CSize extent = pDC->GetTextExtent(m_strYTitle);
        pDC->TextOut(m_rcClient.left + extent.cy / 2, (m_rcClient.top + m_rcClient.bottom) / 2 - extent.cx / 2,
                     m_strYTitle);
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
    // Never beyond the storage (it may have shrunk since the last point) and
    // never a series without arrays.
    const int nLast = DrawableLastIndex();
    if (nLast <= 0) return;
    const int nSeries = DrawableSeriesCount();
    for (int s = 0; s < nSeries; ++s) {
        if (m_nDrawStyle % 2 == 0) DrawLineSeries(pDC, m_aSeries[s], nLast);
        else DrawBarSeries(pDC, m_aSeries[s], nLast);
    }
}

void CRealTimeChart::DrawLineSeries(CDC* pDC, const chart::ChartSeries& series, int nLast) {
    CPen penSeries(PS_SOLID, 2, series.crColor);
    CPen penZero(PS_SOLID, 2, kBlack);
    CPen penLow(PS_SOLID, 2, kBlue);
    SelectGuard keepPen(*pDC, penSeries);

    // Lines and markers need the same positions. GDI draws each LineTo on its
    // own (caps, no joins), so segments cut to the band draw as the chain did.
    const chart::PixelRect band = DrawingBand();
    std::vector<chart::PlotPoint> points(static_cast<size_t>(nLast) + 1);
    for (int i = 0; i <= nLast; ++i) points[static_cast<size_t>(i)] = MapToPlot(series.pX[i], series.pY[i]);
    auto forEachSegment = [&](auto&& draw) {
        chart::PixelPoint a, b;
        for (int i = 1; i <= nLast; ++i)
            if (chart::ClipToBand(band, points[static_cast<size_t>(i) - 1], points[static_cast<size_t>(i)], a, b))
                draw(CPoint(a.x, a.y), CPoint(b.x, b.y));
    };

    chart::LineStamps* pLines = LineStampsFor(pDC);
    if (pLines != nullptr && pLines->SetPen(2, series.crColor)) {
        const chart::PixelBuffer& bits = m_pBuffer->Pixels();
        ::GdiFlush();  // what GDI drew so far must be in the bits first
        forEachSegment([&](CPoint from, CPoint to) {
            if (pLines->Segment(bits, from.x, from.y, to.x, to.y)) return;
            pDC->MoveTo(from);
            pDC->LineTo(to);
            ::GdiFlush();
        });
    } else {
        CPoint at(INT_MIN, INT_MIN);
        forEachSegment([&](CPoint from, CPoint to) {
            if (from != at) pDC->MoveTo(from);
            pDC->LineTo(to);
            at = to;
        });
    }
    pDC->MoveTo(Map(series.pX[nLast], series.pY[nLast]));  // where the LineTo chain would leave it

    const double threshold = static_cast<double>(chart::MarkerThreshold(m_dAverageLevel, m_nThresholdPercent));
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
    chart::PixelPoint p;
    if (cells[0] >= 0 && cells[1] >= 0 && cells[2] >= 0) {
        // Into our own temporary bitmap the pixels are written directly.
        const bool bDirect = m_pBuffer && pDC->GetSafeHdc() == m_pBuffer->Hdc() &&
                             m_pBuffer->Pixels().pBits != nullptr && m_pMarkers->CanWritePixels();
        if (bDirect) ::GdiFlush();  // the lines must be in the bits first
        for (int i = 0; i <= nLast; ++i) {
            if (!chart::PointInBand(band, points[static_cast<size_t>(i)], p)) continue;
            if (bDirect) m_pMarkers->Stamp(m_pBuffer->Pixels(), cells[kind(i)], p.x, p.y);
            else m_pMarkers->Stamp(pDC, cells[kind(i)], p.x, p.y);
        }
        return;
    }

    CPen* pens[3] = {&penSeries, &penZero, &penLow};
    for (int i = 0; i <= nLast; ++i) {
        if (!chart::PointInBand(band, points[static_cast<size_t>(i)], p)) continue;
        const int k = kind(i);
        if (k != 0) pDC->SelectObject(pens[k]);
        pDC->Ellipse(p.x - chart::kMarkerRadius, p.y - chart::kMarkerRadius, p.x + chart::kMarkerRadius,
                     p.y + chart::kMarkerRadius);
        if (k != 0) pDC->SelectObject(&penSeries);
    }
}

void CRealTimeChart::DrawBarSeries(CDC* pDC, const chart::ChartSeries& series, int nLast) {
    CPen penLine(PS_SOLID, 1, series.crColor);
    CPen penBar(PS_SOLID, 5, series.crColor);
    CPen penZero(PS_SOLID, 5, kBlack);
    CPen penLow(PS_SOLID, 5, kGrey);
    SelectGuard keepPen(*pDC, penLine);

    // Segment by segment in the order of the chain, as each may cover the last;
    // cut to the band as the lines are.
    chart::LineStamps* pLines = LineStampsFor(pDC);
    const chart::PixelBuffer* pBits = pLines != nullptr ? &m_pBuffer->Pixels() : nullptr;
    if (pBits != nullptr) ::GdiFlush();
    const chart::PixelRect band = DrawingBand();
    CPoint at(INT_MIN, INT_MIN);
    auto segment = [&](CPen* pPen, int nWidth, COLORREF cr, const chart::PlotPoint& a, const chart::PlotPoint& b) {
        chart::PixelPoint from, to;
        if (!chart::ClipToBand(band, a, b, from, to)) return;
        if (pBits != nullptr && pLines->SetPen(nWidth, cr) && pLines->Segment(*pBits, from.x, from.y, to.x, to.y))
            return;
        pDC->SelectObject(pPen);
        if (at != CPoint(from.x, from.y)) pDC->MoveTo(from.x, from.y);
        pDC->LineTo(to.x, to.y);
        at = CPoint(to.x, to.y);
        if (pBits != nullptr) ::GdiFlush();
    };
    chart::PlotPoint from = MapToPlot(series.pX[0], series.pY[0]);
    for (int i = 1; i <= nLast; ++i) {
        const chart::PlotPoint p = MapToPlot(series.pX[i], series.pY[i]);
        segment(&penLine, 1, series.crColor, from, p);
        const double y = series.pY[i];
        const chart::PlotPoint foot{p.x, static_cast<double>(m_rcPlot.bottom)};
        if (y == 0.0) segment(&penZero, 5, kBlack, foot, p);
        else if (y > 0.0 && y < 15.0) segment(&penLow, 5, kGrey, foot, p);
        else segment(&penBar, 5, series.crColor, foot, p);
        from = p;
    }
    pDC->MoveTo(Map(series.pX[nLast], series.pY[nLast]));
}

chart::LineStamps* CRealTimeChart::LineStampsFor(CDC* pDC) {
    if (!m_bFastLines || !m_pBuffer || pDC->GetSafeHdc() != m_pBuffer->Hdc()) return nullptr;
    if (!m_pLines) m_pLines.reset(new chart::LineStamps);
    return m_pLines->Begin(pDC, m_pBuffer->Pixels()) ? m_pLines.get() : nullptr;
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
