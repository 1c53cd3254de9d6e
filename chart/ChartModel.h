// The strip chart's model: series storage, value ranges, layout, scale and the
// value-to-pixel mapping. Portable, so the native tier tests and benchmarks it;
// CRealTimeChart adds the window and the painting.
#pragma once

#include <cstdint>

namespace chart {

// Colour in the platform's COLORREF layout (0x00BBGGRR).
using Color = std::uint32_t;
constexpr Color Rgb(unsigned r, unsigned g, unsigned b) {
    return static_cast<Color>(r | (g << 8) | (b << 16));
}

constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kYellow = Rgb(255, 255, 0);
constexpr Color kMagenta = Rgb(255, 0, 255);

constexpr int kMaxSeries = 600;

struct PixelPoint {
    int x;
    int y;
};

struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct ChartSeries {
    double* pX = nullptr;
    double* pY = nullptr;
    Color crColor = kRed;
    int bAllocated = 0;
};

class ChartModel {
public:
    ChartModel();
    virtual ~ChartModel();
    ChartModel(const ChartModel&) = delete;
    ChartModel& operator=(const ChartModel&) = delete;

    bool SetRange(double dXMin, double dXMax, double dYMin, double dYMax);
    // FALSE when the storage cannot be allocated; OnStorageFailure reports it.
    bool SetPointCount(int nPoints);
    int GetPointCount() const { return m_nPointCount; }
    void SetAxisStyle(int nStyle);
    void SetGrid(int nXDivisions, int nYDivisions);
    bool AddPoint(double x, double y, int nSeriesCount, int nSeries, int nStyle);
    // Zeroes the y-values of series 0 (the window then repaints).
    void ClearSeriesValues();

    // Layout and scale from a new client rectangle.
    void SetClientRect(const PixelRect& rcClient);
    void UpdateLayout();
    void UpdateScale();
    PixelPoint MapPoint(double x, double y) const;

    // What drawing may read: never beyond the storage, never a series without arrays.
    int DrawableLastIndex() const;
    int DrawableSeriesCount() const;

    ChartSeries m_aSeries[kMaxSeries];
    bool m_bLogGrid = false;
    int m_nSeriesCount = 1;
    PixelRect m_rcClient{0, 0, 0, 0};
    PixelRect m_rcFrame{0, 0, 0, 0};
    PixelRect m_rcPlot{0, 0, 0, 0};
    Color m_crBackground = Rgb(0, 128, 64);
    Color m_crAxis = Rgb(0, 255, 0);
    Color m_crGrid = Rgb(0, 255, 0);
    Color m_crMajorGrid = Rgb(0, 255, 0);
    int m_nDrawStyle = 0;
    int m_nDrawSeries = 1;
    int m_nXLabelOffset = 0;
    int m_nThresholdPercent = 0;
    double m_dAverageLevel = 0.0;
    bool m_bRedrawStatic = true;
    int m_nAxisStyle = 0;
    int m_nPointCount = 0;
    int m_nLastIndex = 0;
    int m_nYDivisions = 0;
    int m_nXDivisions = 0;
    double m_dYPerPixel = 0.0;
    double m_dXPerPixel = 0.0;
    double m_dYMin = 0.0;
    double m_dYMax = 400.0;
    double m_dXMin = -10.0;
    double m_dXMax = 10.0;
    bool m_bStorageReady = false;

protected:
    virtual void OnStorageFailure() {}

private:
    void ReleaseSeries(ChartSeries& series);
};

}  // namespace chart
