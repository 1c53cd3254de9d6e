#include "chart/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace chart {

namespace {

// Pixel offset of a value from the plot's low edge, truncated toward zero; 0
// on an axis without a usable scale, NaN for a NaN value.
double PixelOffset(double v, double dMin, double dPerPixel) {
    if (std::isnan(v)) return v;
    if (dPerPixel == 0.0) return 0.0;
    const double d = std::trunc((v - dMin) / dPerPixel);
    return std::clamp(d, -static_cast<double>(kMaxPixelOffset), static_cast<double>(kMaxPixelOffset));
}

double ToCoordinate(double v) {
    return std::clamp(v, -static_cast<double>(kMaxCoordinate), static_cast<double>(kMaxCoordinate));
}

int ClampCoordinate(long long v) { return static_cast<int>(std::clamp<long long>(v, -kMaxCoordinate, kMaxCoordinate)); }

// Units per pixel, or 0 when the range cannot be spread over the pixels.
double PerPixel(double dMin, double dMax, int nPixels) {
    if (nPixels == 0) return 0.0;
    const double d = (dMax - dMin) / static_cast<double>(nPixels);
    return std::isfinite(d) ? d : 0.0;
}

PixelPoint Whole(const PlotPoint& p) { return PixelPoint{static_cast<int>(p.x), static_cast<int>(p.y)}; }

bool Cut(const PixelRect& band, PlotPoint a, PlotPoint b, PixelPoint& from, PixelPoint& to) {
    // Far enough for any direction, near enough that b - a stays finite.
    constexpr double kFar = 1e300;
    for (double* v : {&a.x, &a.y, &b.x, &b.y}) *v = std::clamp(*v, -kFar, kFar);
    const double left = band.left, top = band.top, right = band.right, bottom = band.bottom;
    // Liang-Barsky: the part of a + t (b - a) with t in [t0, t1] lies inside.
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - left, right - a.x, a.y - top, bottom - a.y};
    double t0 = 0.0, t1 = 1.0;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double r = q[k] / p[k];
        if (p[k] < 0.0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    auto cut = [&](double t) {
        const double x = std::clamp(std::floor(a.x + t * dx + 0.5), left, right);
        const double y = std::clamp(std::floor(a.y + t * dy + 0.5), top, bottom);
        return PixelPoint{static_cast<int>(x), static_cast<int>(y)};
    };
    from = t0 > 0.0 ? cut(t0) : Whole(a);
    to = t1 < 1.0 ? cut(t1) : Whole(b);
    return true;
}

}  // namespace

bool ClipToBand(const PixelRect& band, const PlotPoint& a, const PlotPoint& b, PixelPoint& from, PixelPoint& to) {
    // MapToPlot gives NaN or finite coordinates; an infinite one would turn
    // the cut into NaN, so it counts as no position as well.
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return false;
    const double left = band.left, top = band.top, right = band.right, bottom = band.bottom;
    auto inside = [&](const PlotPoint& p) { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; };
    if (inside(a) && inside(b)) {
        from = Whole(a);
        to = Whole(b);
        return true;
    }
    return Cut(band, a, b, from, to);
}

bool PointInBand(const PixelRect& band, const PlotPoint& p, PixelPoint& at) {
    if (!(p.x >= band.left && p.x <= band.right && p.y >= band.top && p.y <= band.bottom)) return false;
    at = Whole(p);
    return true;
}

long long MarkerThreshold(double dAverageLevel, int nPercent) {
    if (std::isnan(dAverageLevel)) return 0;
    // Within an int's range the product of two ints cannot overflow.
    constexpr double kIntRange = 2147483648.0;
    const double level = std::clamp(std::trunc(dAverageLevel), -kIntRange, kIntRange);
    return static_cast<long long>(level) * nPercent / 100;
}

ChartModel::ChartModel() { SetRange(-10.0, 10.0, 0.0, 400.0); }

ChartModel::~ChartModel() {
    // Every series that holds arrays, not only those below m_nSeriesCount: the
    // owner may have lowered the count since the arrays were made.
    for (ChartSeries& series : m_aSeries) ReleaseSeries(series);
}

void ChartModel::ReleaseSeries(ChartSeries& series) {
    std::free(series.pX);
    std::free(series.pY);
    series.pX = nullptr;
    series.pY = nullptr;
    series.bAllocated = 0;
    series.nPlainX = 0;
}

bool ChartModel::SetRange(double dXMin, double dXMax, double dYMin, double dYMax) {
    m_dXMin = dXMin;
    m_dXMax = dXMax;
    m_dYMin = dYMin;
    m_dYMax = dYMax;
    m_bRedrawStatic = true;
    UpdateScale();
    return true;
}

bool ChartModel::SetPointCount(int nPoints) {
    if (nPoints < 0) return false;
    if (nPoints != m_nPointCount) {
        // All new arrays are obtained before any old one is given up, so a
        // failure leaves the storage, the count and the points as they were.
        const int nWanted = std::clamp(m_nSeriesCount, 0, kMaxSeries);
        ChartSeries fresh[kMaxSeries];
        bool ok = true;
        for (int i = 0; i < nWanted && nPoints > 0; ++i) {
            // Zero-filled: points not yet written draw at the bottom of the range.
            fresh[i].pX = static_cast<double*>(std::calloc(static_cast<size_t>(nPoints), sizeof(double)));
            fresh[i].pY = static_cast<double*>(std::calloc(static_cast<size_t>(nPoints), sizeof(double)));
            if (fresh[i].pX == nullptr || fresh[i].pY == nullptr) {
                ok = false;
                break;
            }
            fresh[i].bAllocated = 1;
        }
        if (!ok) {
            for (ChartSeries& series : fresh) ReleaseSeries(series);
            OnStorageFailure();
            return false;
        }
        // Arrays of the old length must not survive beside the new count, also
        // in series at or above m_nSeriesCount.
        for (int i = 0; i < kMaxSeries; ++i) {
            ReleaseSeries(m_aSeries[i]);
            m_aSeries[i].pX = fresh[i].pX;
            m_aSeries[i].pY = fresh[i].pY;
            m_aSeries[i].bAllocated = fresh[i].bAllocated;
        }
    }
    m_nPointCount = nPoints;
    m_bStorageReady = true;
    return true;
}

const double* ChartModel::LimitedValues(const ByteValueTable& table) {
    // The same bits, not the same value: the cached values must be bit for bit
    // what AddPoint gives, and -0 and 0 compare equal.
    const auto same = [](double a, double b) {
        std::uint64_t bitsA = 0, bitsB = 0;
        std::memcpy(&bitsA, &a, sizeof a);
        std::memcpy(&bitsB, &b, sizeof b);
        return bitsA == bitsB;
    };
    if (table.nId != m_nLimitedId || !same(m_dYMin, m_dLimitedYMin) || !same(m_dYMax, m_dLimitedYMax)) {
        // The very expressions of AddPoint, so every limited value has the same bits.
        for (int b = 0; b < 256; ++b) m_adLimited[b] = std::max(std::min(table.pValues[b], m_dYMax), m_dYMin);
        m_nLimitedId = table.nId;
        m_dLimitedYMin = m_dYMin;
        m_dLimitedYMax = m_dYMax;
    }
    return m_adLimited;
}

void ChartModel::SetAxisStyle(int nStyle) {
    if (static_cast<unsigned>(nStyle) <= 2u) m_nAxisStyle = nStyle;
}

void ChartModel::SetGrid(int nXDivisions, int nYDivisions) {
    m_nXDivisions = nXDivisions;
    m_nYDivisions = nYDivisions;
    m_bRedrawStatic = true;
}

void ChartModel::ClearSeriesValues() {
    ChartSeries& series = m_aSeries[0];
    if (!series.bAllocated) return;
    std::fill(series.pY, series.pY + m_nPointCount, 0.0);
}

void ChartModel::SetClientRect(const PixelRect& rcClient) {
    m_rcClient = rcClient;
    UpdateLayout();
    UpdateScale();
}

void ChartModel::UpdateLayout() {
    PixelRect& c = m_rcClient;
    for (int* v : {&c.left, &c.top, &c.right, &c.bottom}) *v = ClampCoordinate(*v);
    m_rcFrame = PixelRect{c.left + 2, c.top + 2, c.right - 2, c.bottom - 2};
    m_rcPlot = PixelRect{m_rcFrame.left + 18, m_rcFrame.top + 25, m_rcFrame.right - 10, m_rcFrame.bottom - 25};
}

void ChartModel::UpdateScale() {
    // An axis without a usable scale (see PlotPoint) gets 0.
    m_dYPerPixel = PerPixel(m_dYMin, m_dYMax, m_rcPlot.bottom - m_rcPlot.top);
    m_dXPerPixel = PerPixel(m_dXMin, m_dXMax, m_rcPlot.right - m_rcPlot.left);
}

PlotPoint ChartModel::MapToPlot(double x, double y) const {
    // In double throughout: the plot's edges may be anything an int holds.
    return PlotPoint{ToCoordinate(m_rcPlot.left + PixelOffset(x, m_dXMin, m_dXPerPixel)),
                     ToCoordinate(m_rcPlot.bottom - PixelOffset(y, m_dYMin, m_dYPerPixel))};
}

PixelPoint ChartModel::MapPoint(double x, double y) const {
    // A NaN value has no pixel; the plot's low edges stand in for it.
    PlotPoint p = MapToPlot(x, y);
    if (std::isnan(p.x)) p.x = ToCoordinate(m_rcPlot.left);
    if (std::isnan(p.y)) p.y = ToCoordinate(m_rcPlot.bottom);
    return Whole(p);
}

PixelRect ChartModel::DrawingBand() const {
    const PixelRect& c = m_rcClient;
    const PixelRect& p = m_rcPlot;
    const long long lo = kDrawMargin;
    return PixelRect{ClampCoordinate(std::min({c.left, c.right, p.left, p.right}) - lo),
                     ClampCoordinate(std::min({c.top, c.bottom, p.top, p.bottom}) - lo),
                     ClampCoordinate(std::max({c.left, c.right, p.left, p.right}) + lo),
                     ClampCoordinate(std::max({c.top, c.bottom, p.top, p.bottom}) + lo)};
}

int ChartModel::DrawableLastIndex() const {
    // After the storage shrank m_nLastIndex may still name the old last point.
    return std::min(m_nLastIndex, m_nPointCount - 1);
}

int ChartModel::DrawableSeriesCount() const {
    const int nLimit = std::min({m_nDrawSeries, m_nSeriesCount, kMaxSeries});
    int n = 0;
    while (n < nLimit && m_aSeries[n].bAllocated) ++n;
    return n;
}

}  // namespace chart
