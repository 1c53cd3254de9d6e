#include "chart/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace chart {

namespace {

// Pixel coordinate of a mapped value. Out-of-range values still map outside
// the plot (only the bitmap edge clips them), but never overflow an int: GDI
// takes 27-bit coordinates, and a NaN has no pixel at all.
int ToPixel(double v) {
    constexpr double kLimit = 1 << 27;
    if (std::isnan(v)) return 0;
    if (v > kLimit) v = kLimit;
    if (v < -kLimit) v = -kLimit;
    return static_cast<int>(v);  // truncates toward zero
}

}  // namespace

ChartModel::ChartModel() {
    SetRange(-10.0, 10.0, 0.0, 400.0);
}

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
    const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
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
    m_rcFrame = PixelRect{m_rcClient.left + 2, m_rcClient.top + 2, m_rcClient.right - 2, m_rcClient.bottom - 2};
    m_rcPlot = PixelRect{m_rcFrame.left + 18, m_rcFrame.top + 25, m_rcFrame.right - 10, m_rcFrame.bottom - 25};
}

void ChartModel::UpdateScale() {
    // A plot without extent (no window yet, or a tiny one) gets scale 0, and
    // MapPoint then puts every value on the plot's left or bottom edge.
    const int nHeight = m_rcPlot.bottom - m_rcPlot.top;
    const int nWidth = m_rcPlot.right - m_rcPlot.left;
    m_dYPerPixel = nHeight != 0 ? (m_dYMax - m_dYMin) / static_cast<double>(nHeight) : 0.0;
    m_dXPerPixel = nWidth != 0 ? (m_dXMax - m_dXMin) / static_cast<double>(nWidth) : 0.0;
}

PixelPoint ChartModel::MapPoint(double x, double y) const {
    const double dx = m_dXPerPixel != 0.0 ? (x - m_dXMin) / m_dXPerPixel : 0.0;
    const double dy = m_dYPerPixel != 0.0 ? (y - m_dYMin) / m_dYPerPixel : 0.0;
    return PixelPoint{ToPixel(dx) + m_rcPlot.left, m_rcPlot.bottom - ToPixel(dy)};
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
