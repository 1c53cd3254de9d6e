// CRealTimeChart: the strip-chart control of one axis. The dialog template
// creates the window (class "Realtime_Chart_Class"); binding the member to it
// subclasses it, and from then on it paints a cached static layer (background,
// axes, grid, labels, title) with the series drawn over a copy of it.
#pragma once

#include <memory>

#include "chart/ChartModel.h"
#include "framework/Afx.h"

namespace chart {
class LineStamps;
class MarkerStamps;
class PaintBuffer;
}  // namespace chart

#define REALTIME_CHART_CLASSNAME L"Realtime_Chart_Class"

class CRealTimeChart : public CWnd, public chart::ChartModel {
public:
    CRealTimeChart();
    ~CRealTimeChart() override;

    void PreSubclassWindow() override;

    virtual void Refresh(BOOL bRedrawStatic);
    void ClearValues();
    void Resize();

    // Paints the whole picture into a DC (WM_PAINT, WM_PRINTCLIENT and tests).
    void PaintTo(CDC* pDC);

    CString m_strYTitle;
    CString m_strTitle;
    // Markers stamped from pre-drawn copies (same pixels, a fraction of the
    // cost); false draws every marker with Ellipse.
    bool m_bFastMarkers = true;
    // Line segments written from pre-drawn shapes (same pixels as LineTo);
    // false draws every segment with LineTo.
    bool m_bFastLines = true;

protected:
    virtual void DrawSeries(CDC* pDC);
    virtual void DrawBackground(CDC* pDC);
    virtual void DrawTitle(CDC* pDC);
    virtual void DrawGrid(CDC* pDC);
    virtual void DrawAxes(CDC* pDC);
    virtual void DrawLabels(CDC* pDC);
    virtual void CreateFonts();

    void OnPaint();
    void OnPrintClient(HDC hDC, UINT nFlags);
    void DrawStaticLayer(CDC* pDC);
    void DrawLogGrid(CDC* pDC);
    void OnStorageFailure() override;
    void DrawLineSeries(CDC* pDC, const chart::ChartSeries& series, int nLast);
    void DrawBarSeries(CDC* pDC, const chart::ChartSeries& series, int nLast);
    CPoint Map(double x, double y) const;
    // The segment stamps when the series go straight into our own bitmap.
    chart::LineStamps* LineStampsFor(CDC* pDC);

    static BOOL RegisterWindowClass();

    CBitmap m_bmpStatic;
    CDC m_dcStatic;
    HGDIOBJ m_pOldBitmap = nullptr;
    bool m_bFontsCreated = false;
    CFont* m_pLabelFont = nullptr;
    CFont* m_pVertFont = nullptr;
    CFont* m_pTitleFont = nullptr;
    CFont* m_pTickFont = nullptr;
    std::unique_ptr<chart::PaintBuffer> m_pBuffer;
    std::unique_ptr<chart::MarkerStamps> m_pMarkers;
    std::unique_ptr<chart::LineStamps> m_pLines;

    DECLARE_MESSAGE_MAP()
};
