// The strip chart's model: series storage, value ranges, layout, scale and the
// value-to-pixel mapping. Portable, so the native tier tests and benchmarks it;
// CRealTimeChart adds the window and the painting.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace chart {

// Colour in the platform's COLORREF layout (0x00BBGGRR).
using Color = std::uint32_t;
constexpr Color Rgb(unsigned r, unsigned g, unsigned b) { return static_cast<Color>(r | (g << 8) | (b << 16)); }

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

// Where a point lies in pixels before it becomes an int: MapPoint's whole
// pixels as doubles, NaN where the point has no position.
struct PlotPoint {
    double x;
    double y;
};

// How values that do not fit the plot are drawn; the painting relies on it.
// - An axis without a usable scale (a range of zero, infinite or NaN extent,
//   or a plot without width or height) maps every value to the plot's left or
//   bottom edge.
// - A point lies at most kMaxPixelOffset pixels from the plot's left or bottom
//   edge: values further out (1e12, 1e300, infinities) are drawn as if they
//   lay at that distance, in the same direction.
// - A NaN value has no position: no marker, no bar and no segment to or from
//   it are drawn, so the line breaks there.
// - Segments (lines and bars) are cut where they leave the drawing band, the
//   client rectangle and the plot widened by kDrawMargin pixels on every side,
//   and markers beyond the band are left out; nothing beyond the band can be
//   seen, so a far value costs what an in-range one does. A cut end is rounded
//   to the nearest pixel; ends inside the band are MapPoint's exactly.
constexpr int kMaxPixelOffset = 1 << 27;  // GDI's coordinate range
constexpr int kDrawMargin = 32;           // wider than a marker or pen reaches past the window
// Coordinates of rectangles and mapped points are held within this, so that
// no pixel arithmetic can overflow an int.
constexpr int kMaxCoordinate = 1 << 29;

// a-b cut to the closed rectangle band; false when no part of it lies inside
// or an end is NaN (or infinite). Ends beyond +-1e300 count as lying there.
bool ClipToBand(const PixelRect& band, const PlotPoint& a, const PlotPoint& b, PixelPoint& from, PixelPoint& to);
// The pixel of p when it lies inside the closed rectangle band.
bool PointInBand(const PixelRect& band, const PlotPoint& p, PixelPoint& at);

// Threshold of the marker colour test: trunc(level) * percent / 100 in integer
// arithmetic, the division truncating toward zero. A NaN level counts as 0, a
// level beyond an int's range as that range's end.
long long MarkerThreshold(double dAverageLevel, int nPercent);

// Visits k = 0 .. nLast, but only the first k of every run of equal pos(k);
// pos must be monotonic in k. Grid lines and labels at the same pixel draw the
// same pixels again, so a grid of any division count costs one visit per pixel
// it spans, the next one found by bisection.
template <typename Pos, typename Visit>
void ForEachDistinct(int nLast, Pos&& pos, Visit&& visit) {
    for (int k = 0; k >= 0 && k <= nLast;) {
        const auto at = pos(k);
        visit(k);
        if (k == nLast) return;
        int same = k + 1;  // the last k known to share the position
        if (pos(same) != at) {
            k = same;
            continue;
        }
        if (pos(nLast) == at) return;
        int other = nLast;  // the first k known to differ lies in (same, other]
        while (other - same > 1) {
            const int mid = same + (other - same) / 2;
            (pos(mid) == at ? same : other) = mid;
        }
        k = other;
    }
}

struct ChartSeries {
    double* pX = nullptr;
    double* pY = nullptr;
    Color crColor = kRed;
    int bAllocated = 0;
    // pX[0 .. nPlainX) hold exactly +0.0, 1.0, 2.0, ..., so a run need not write them
    // again. Whoever writes pX other than through the model must set it to 0.
    int nPlainX = 0;
};

// 256 values looked up by a byte. The id names the contents: equal ids, equal values.
struct ByteValueTable {
    const double* pValues = nullptr;
    std::uint64_t nId = 0;  // 0: not to be cached
    bool bNoNaN = false;
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
    // Inline: a packet adds up to four points per receiver.
    bool AddPoint(double x, double y, int nSeriesCount, int nSeries, int nStyle);
    // What AddPoint(p, valueAt(p), nSeriesCount, nSeries, nStyle) for p = 0 .. nCount-1
    // does, in one pass; valueAt must not change the chart. bNeverNaN: the caller knows
    // valueAt returns no NaN. Returns the points stored.
    template <typename ValueAt>
    int AddPointRun(int nCount, int nSeriesCount, int nSeries, int nStyle, ValueAt&& valueAt, bool bNeverNaN = false);
    // AddPointRun with valueAt(p) = table.pValues[pIndex[p]].
    int AddPointTableRun(int nCount, int nSeriesCount, int nSeries, int nStyle, const std::uint8_t* pIndex,
                         const ByteValueTable& table);
    // Zeroes the y-values of series 0 (the window then repaints).
    void ClearSeriesValues();

    // Layout and scale from a new client rectangle.
    void SetClientRect(const PixelRect& rcClient);
    void UpdateLayout();
    void UpdateScale();
    PixelPoint MapPoint(double x, double y) const;
    PlotPoint MapToPlot(double x, double y) const;
    // Where drawing may put pixels (see kDrawMargin), edges included.
    PixelRect DrawingBand() const;
    // The divisions of the X axis up to which every tick label is drawn; with
    // more, one label per pixel column (the first that falls on it) is drawn.
    // Eight times what a 4096-receiver frame needs.
    static constexpr int kMaxLabelledDivisions = 1 << 16;

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
    // How many leading x = p of a run limiting leaves as they are and the storage holds.
    int PlainRunLength(int nCount) const {
        if (0.0 < m_dXMin) return 0;  // a NaN end limits nothing
        int nPlain = std::min(nCount, m_nPointCount);
        if (m_dXMax < static_cast<double>(nPlain - 1)) nPlain = m_dXMax < 0.0 ? 0 : static_cast<int>(m_dXMax) + 1;
        return nPlain;
    }
    void WritePlainX(ChartSeries& series, int nPlain) {
        constexpr int kBlock = 8;
        double* const pX = series.pX;
        int p = series.nPlainX;
        // Fixed-size blocks the compiler turns into vector instructions.
        for (; p + kBlock <= nPlain; p += kBlock)
            for (int k = 0; k < kBlock; ++k) pX[p + k] = static_cast<double>(p + k);
        for (; p < nPlain; ++p) pX[p] = static_cast<double>(p);
        series.nPlainX = std::max(series.nPlainX, nPlain);
    }
    // The table limited to [m_dYMin, m_dYMax] as AddPoint limits, kept while the
    // table id and the range bits stay the same.
    const double* LimitedValues(const ByteValueTable& table);
    double m_adLimited[256]{};
    std::uint64_t m_nLimitedId = 0;
    double m_dLimitedYMin = 0.0;
    double m_dLimitedYMax = 0.0;
    // The refusals of AddPoint that do not depend on the point.
    bool AcceptsSeriesCall(int nSeriesCount, int nSeries) const {
        // The table bound on its own as well: a negative m_nSeriesCount compares as huge.
        return m_bStorageReady && nSeriesCount >= 1 && nSeriesCount < m_nPointCount &&
               static_cast<unsigned>(nSeries) < static_cast<unsigned>(kMaxSeries) &&
               static_cast<unsigned>(nSeries) < static_cast<unsigned>(std::min(m_nSeriesCount, kMaxSeries)) &&
               m_aSeries[nSeries].bAllocated;
    }
    // What every stored point changes besides its own values.
    void MarkStored(int nSeriesCount, int nStyle) {
        m_nDrawSeries = nSeriesCount;
        // The last drawn series is red, the ones before it yellow and magenta.
        switch (nSeriesCount) {
            case 1: m_aSeries[0].crColor = kRed; break;
            case 2:
                m_aSeries[0].crColor = kYellow;
                m_aSeries[1].crColor = kRed;
                break;
            case 3:
                m_aSeries[0].crColor = kMagenta;
                m_aSeries[1].crColor = kYellow;
                m_aSeries[2].crColor = kRed;
                break;
            default: break;
        }
        m_nLastIndex = m_nPointCount - 1;
        m_nDrawStyle = nStyle;
    }
};

inline bool ChartModel::AddPoint(double x, double y, int nSeriesCount, int nSeries, int nStyle) {
    // Fewer than one drawn series is meaningless; refusing it also keeps a
    // point count of 1 from accepting anything.
    if (!AcceptsSeriesCall(nSeriesCount, nSeries)) return false;
    if (std::isnan(x) || std::isnan(y)) return false;

    x = std::min(x, m_dXMax);
    x = std::max(x, m_dXMin);
    y = std::min(y, m_dYMax);
    y = std::max(y, m_dYMin);

    // Refuse, before anything changes, a point the storage cannot hold: an x
    // range wider than the point count. The index is the integer part of x,
    // truncated toward zero (-0.5 is 0); compared first so that the conversion
    // never overflows.
    if (!(x > -1.0 && x < static_cast<double>(m_nPointCount))) return false;

    ChartSeries& target = m_aSeries[nSeries];
    const int index = static_cast<int>(x);
    target.nPlainX = std::min(target.nPlainX, index);
    target.pX[index] = x;
    target.pY[index] = y;
    MarkStored(nSeriesCount, nStyle);
    return true;
}

template <typename ValueAt>
int ChartModel::AddPointRun(int nCount, int nSeriesCount, int nSeries, int nStyle, ValueAt&& valueAt, bool bNeverNaN) {
    if (nCount <= 0 || !AcceptsSeriesCall(nSeriesCount, nSeries)) return 0;
    // The leading x = p go in one pass, the rest through AddPoint.
    const int nPlain = PlainRunLength(nCount);
    double* const pX = m_aSeries[nSeries].pX;
    double* const pY = m_aSeries[nSeries].pY;
    const double dYMin = m_dYMin;
    const double dYMax = m_dYMax;
    int nStored = 0;
    if (bNeverNaN) {
        // Nothing refused: no branch per point, and the x-values in fixed-size
        // blocks that the compiler turns into vector instructions.
        for (int p = 0; p < nPlain; ++p) pY[p] = std::max(std::min(valueAt(p), dYMax), dYMin);
        WritePlainX(m_aSeries[nSeries], nPlain);
        nStored = nPlain;
    } else {
        for (int p = 0; p < nPlain; ++p) {
            double y = valueAt(p);
            if (std::isnan(y)) continue;
            y = std::min(y, dYMax);
            y = std::max(y, dYMin);
            pX[p] = static_cast<double>(p);
            pY[p] = y;
            ++nStored;
        }
    }
    if (nStored > 0) MarkStored(nSeriesCount, nStyle);
    for (int p = nPlain; p < nCount; ++p)
        nStored += AddPoint(static_cast<double>(p), valueAt(p), nSeriesCount, nSeries, nStyle);
    return nStored;
}

inline int ChartModel::AddPointTableRun(int nCount, int nSeriesCount, int nSeries, int nStyle,
                                        const std::uint8_t* pIndex, const ByteValueTable& table) {
    const double* const values = table.pValues;
    if (!table.bNoNaN || table.nId == 0)
        return AddPointRun(
            nCount, nSeriesCount, nSeries, nStyle, [&](int p) { return values[pIndex[p]]; }, table.bNoNaN);
    if (nCount <= 0 || !AcceptsSeriesCall(nSeriesCount, nSeries)) return 0;
    const int nPlain = PlainRunLength(nCount);
    const double* const limited = LimitedValues(table);
    double* const pY = m_aSeries[nSeries].pY;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the eight-byte index loads below assume a little-endian target"
#endif
    // Eight indices per load: the bytes may alias pY, so each would be read again
    // after every store otherwise.
    int p = 0;
    for (; p + 8 <= nPlain; p += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, pIndex + p, sizeof eight);
        for (int k = 0; k < 8; ++k, eight >>= 8) pY[p + k] = limited[eight & 0xFFu];
    }
    for (; p < nPlain; ++p) pY[p] = limited[pIndex[p]];
    WritePlainX(m_aSeries[nSeries], nPlain);
    int nStored = nPlain;
    if (nStored > 0) MarkStored(nSeriesCount, nStyle);
    for (p = nPlain; p < nCount; ++p)
        nStored += AddPoint(static_cast<double>(p), values[pIndex[p]], nSeriesCount, nSeries, nStyle);
    return nStored;
}

// Feeds an evaluation's points to a chart, a run per series where it can.
struct PointFeed {
    ChartModel& model;
    int nStyle;
    static constexpr bool kTakesRuns = true;
    static constexpr bool kTakesTableRuns = true;
    void operator()(int x, double value, int nSeriesCount, int nSeries) const {
        model.AddPoint(x, value, nSeriesCount, nSeries, nStyle);
    }
    template <typename ValueAt>
    void Run(int nCount, int nSeriesCount, int nSeries, ValueAt&& valueAt, bool bNeverNaN) const {
        model.AddPointRun(nCount, nSeriesCount, nSeries, nStyle, valueAt, bNeverNaN);
    }
    void TableRun(int nCount, int nSeriesCount, int nSeries, const std::uint8_t* pIndex, const double* pValues,
                  std::uint64_t nTableId, bool bNoNaN) const {
        model.AddPointTableRun(nCount, nSeriesCount, nSeries, nStyle, pIndex,
                               ByteValueTable{pValues, nTableId, bNoNaN});
    }
};

}  // namespace chart
