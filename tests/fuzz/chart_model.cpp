// The chart model under any sequence of what its owner and the painting do:
// ranges with NaN, infinities and 1e300 ends, any client rectangle, point and
// series counts, points at any index, values written straight into the
// storage, any grid. Every mapped point is NaN exactly where its value is,
// whole, within the coordinate bound and within the offset bound of the plot;
// a value inside a usable range maps inside the plot; a cut segment lies inside
// the band and on its line; a grid walk meets every pixel once in bounded time;
// drawing reads only the storage that exists (the sanitizers watch).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "FuzzCheck.h"
#include "chart/ChartModel.h"

namespace {

using chart::ChartModel;
using chart::PixelPoint;
using chart::PixelRect;
using chart::PlotPoint;

double AnyDouble(FuzzedDataProvider& in) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0: return std::nan("");
        case 1: return in.ConsumeBool() ? inf : -inf;
        case 2: return in.ConsumeBool() ? 1e300 : -1e300;
        case 3: return in.ConsumeBool() ? 1e12 : -1e12;
        case 4: return in.ConsumeFloatingPoint<double>();
        case 5: return in.ConsumeIntegralInRange(-5000, 5000);
        default: return in.ConsumeFloatingPointInRange(-1000.0, 1000.0);
    }
}

int AnyInt(FuzzedDataProvider& in, int small) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return in.ConsumeIntegral<int>();
        case 1: return in.ConsumeIntegralInRange(-small, small);
        default: return in.ConsumeIntegralInRange(0, small);
    }
}

bool Inside(const PixelRect& r, double x, double y) {
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

bool Whole(double v) { return std::trunc(v) == v; }

// One axis of a mapped point, given its value and the axis' range and edge.
void CheckAxis(double mapped, double value, double dMin, double dMax, double dPerPixel, int nEdge, int nFar) {
    FUZZ_REQUIRE(std::isnan(mapped) == std::isnan(value));
    if (std::isnan(mapped)) return;
    FUZZ_REQUIRE(Whole(mapped));
    FUZZ_REQUIRE(std::fabs(mapped) <= chart::kMaxCoordinate);
    FUZZ_REQUIRE(std::fabs(mapped - nEdge) <= chart::kMaxPixelOffset || std::fabs(mapped) == chart::kMaxCoordinate);
    if (dPerPixel == 0.0)
        FUZZ_REQUIRE(mapped == std::clamp<double>(nEdge, -chart::kMaxCoordinate, chart::kMaxCoordinate));
    // Inside a usable range: between the plot's edges.
    if (dPerPixel != 0.0 && value >= std::min(dMin, dMax) && value <= std::max(dMin, dMax)) {
        FUZZ_REQUIRE(mapped >= std::min(nEdge, nFar) && mapped <= std::max(nEdge, nFar));
    }
}

void CheckMapping(const ChartModel& m, double x, double y) {
    const PlotPoint p = m.MapToPlot(x, y);
    const PixelRect& plot = m.m_rcPlot;
    CheckAxis(p.x, x, m.m_dXMin, m.m_dXMax, m.m_dXPerPixel, plot.left, plot.right);
    CheckAxis(p.y, y, m.m_dYMin, m.m_dYMax, -m.m_dYPerPixel, plot.bottom, plot.top);
    const PixelPoint q = m.MapPoint(x, y);
    FUZZ_REQUIRE(std::isnan(p.x) || q.x == static_cast<int>(p.x));
    FUZZ_REQUIRE(std::isnan(p.y) || q.y == static_cast<int>(p.y));
}

// What the painting does with a segment: the drawn part lies in the band, on
// the segment's line, and keeps every end that was inside exactly.
void CheckSegment(const PixelRect& band, const PlotPoint& a, const PlotPoint& b) {
    PixelPoint from{}, to{};
    const bool drawn = chart::ClipToBand(band, a, b, from, to);
    const bool aIn = Inside(band, a.x, a.y), bIn = Inside(band, b.x, b.y);
    const bool bFinite = std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y);
    FUZZ_REQUIRE(bFinite || !drawn);
    if ((aIn || bIn) && bFinite) FUZZ_REQUIRE(drawn);
    if (!drawn) {
        FUZZ_REQUIRE(!Inside(band, 0.5 * a.x + 0.5 * b.x, 0.5 * a.y + 0.5 * b.y));
        return;
    }
    FUZZ_REQUIRE(Inside(band, from.x, from.y) && Inside(band, to.x, to.y));
    if (aIn) FUZZ_REQUIRE(from.x == a.x && from.y == a.y);
    if (bIn) FUZZ_REQUIRE(to.x == b.x && to.y == b.y);
    // Distance from the line through a and b, in a unit direction so that
    // nothing overflows (the coordinates may be as large as a double holds).
    const double scale = std::max(std::fabs(b.x / 2 - a.x / 2), std::fabs(b.y / 2 - a.y / 2));
    const double ux = scale > 0.0 ? (b.x / 2 - a.x / 2) / scale : 0.0,
                 uy = scale > 0.0 ? (b.y / 2 - a.y / 2) / scale : 0.0;
    for (const PixelPoint& e : {from, to}) {
        const double ex = e.x - a.x, ey = e.y - a.y;
        const double off = scale == 0.0 ? std::hypot(ex, ey) : std::fabs(ex * uy - ey * ux) / std::hypot(ux, uy);
        FUZZ_REQUIRE(off <= 0.75);
    }
}

// The grid's walk over division lines, as the painting walks them.
void CheckGridWalk(const ChartModel& m, int nDivisions, int nEvery) {
    // A walk costs a visit per pixel of the plot: a window's, not an int's worth.
    const long long span = std::llabs(static_cast<long long>(m.m_rcPlot.right) - m.m_rcPlot.left);
    if (nDivisions < 0 || span > (1 << 16)) return;
    const double step = nDivisions > 0 ? (m.m_dXMax - m.m_dXMin) / nDivisions : 0.0;
    auto pos = [&](int k) { return m.MapPoint(k * nEvery * step + m.m_dXMin, m.m_dYMin).x; };
    const int nLast = nDivisions / nEvery;
    long long calls = 0;
    std::vector<int> visited;
    chart::ForEachDistinct(
        nLast,
        [&](int k) {
            ++calls;
            return pos(k);
        },
        [&](int k) { visited.push_back(pos(k)); });
    FUZZ_REQUIRE(!visited.empty() && visited.front() == pos(0));
    for (std::size_t i = 1; i < visited.size(); ++i) FUZZ_REQUIRE(visited[i] != visited[i - 1]);
    FUZZ_REQUIRE(calls <= 3 + 34 * static_cast<long long>(visited.size()));
    if (std::isfinite(step)) {
        FUZZ_REQUIRE(static_cast<long long>(visited.size()) <= span + 3);
    }
    if (nLast <= 1024) {
        std::vector<int> every;
        for (int k = 0; k <= nLast; ++k)
            if (every.empty() || every.back() != pos(k)) every.push_back(pos(k));
        FUZZ_REQUIRE(every == visited);
    }
}

// What drawing a series reads and maps, as the painting does it.
void CheckDrawing(const ChartModel& m) {
    const int nLast = m.DrawableLastIndex();
    const int nSeries = m.DrawableSeriesCount();
    FUZZ_REQUIRE(nLast < m.m_nPointCount);
    FUZZ_REQUIRE(nSeries >= 0 && nSeries <= std::max(0, std::min(m.m_nSeriesCount, chart::kMaxSeries)));
    if (nLast < 0) return;
    const PixelRect band = m.DrawingBand();
    for (int s = 0; s < nSeries; ++s) {
        const chart::ChartSeries& series = m.m_aSeries[s];
        FUZZ_REQUIRE(series.bAllocated);
        PlotPoint previous = m.MapToPlot(series.pX[0], series.pY[0]);
        for (int i = 1; i <= nLast; ++i) {
            const PlotPoint p = m.MapToPlot(series.pX[i], series.pY[i]);
            CheckSegment(band, previous, p);
            CheckSegment(band, PlotPoint{p.x, static_cast<double>(m.m_rcPlot.bottom)}, p);  // the bar
            previous = p;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ChartModel m;
    m.SetClientRect(PixelRect{0, 0, 780, 130});
    std::uint64_t nTableId = 0;
    for (int op = 0; op < 64 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange(0, 10)) {
            case 0: {
                const double a = AnyDouble(in), b = AnyDouble(in), c = AnyDouble(in), d = AnyDouble(in);
                m.SetRange(a, b, c, d);
                break;
            }
            case 1: {
                const int l = AnyInt(in, 800), t = AnyInt(in, 200), r = AnyInt(in, 1600), b = AnyInt(in, 400);
                m.SetClientRect(PixelRect{l, t, r, b});
                break;
            }
            case 2: {
                // Up to a 4096-receiver axis, or any series count over a few points.
                const bool bLong = in.ConsumeIntegralInRange(0, 7) == 0;
                m.m_nSeriesCount = bLong ? in.ConsumeIntegralInRange(0, 3) : in.ConsumeBool() ? AnyInt(in, 700) : 3;
                m.SetPointCount(bLong ? in.ConsumeIntegralInRange(0, 4096) : in.ConsumeIntegralInRange(-1, 64));
                break;
            }
            case 3: {
                const double x = AnyDouble(in), y = AnyDouble(in);
                const int nSeriesCount = AnyInt(in, 4), nSeries = AnyInt(in, 4);
                m.AddPoint(x, y, nSeriesCount, nSeries, in.ConsumeIntegral<int>());
                break;
            }
            case 4: {
                std::vector<double> values(in.ConsumeIntegralInRange<std::size_t>(1, 16));
                bool bNaN = false;
                for (double& v : values) bNaN |= std::isnan(v = AnyDouble(in));
                const int nCount = in.ConsumeIntegralInRange(-1, 4200);
                m.AddPointRun(
                    nCount, AnyInt(in, 4), AnyInt(in, 4), 0,
                    [&](int p) { return values[static_cast<std::size_t>(p) % values.size()]; }, !bNaN);
                break;
            }
            case 5: {
                double table[256];
                bool bNaN = false;
                for (double& v : table) bNaN |= std::isnan(v = in.ConsumeBool() ? AnyDouble(in) : 0.0);
                std::vector<std::uint8_t> index(static_cast<std::size_t>(in.ConsumeIntegralInRange(0, 5000)));
                for (std::uint8_t& b : index) b = in.ConsumeIntegral<std::uint8_t>();
                m.AddPointTableRun(static_cast<int>(index.size()), AnyInt(in, 4), AnyInt(in, 4), 1, index.data(),
                                   chart::ByteValueTable{table, ++nTableId, !bNaN});
                break;
            }
            case 6: m.SetGrid(AnyInt(in, 9000), AnyInt(in, 200)); break;
            case 7: {
                // A value the range was narrowed under, or one written past the limits.
                const int s = in.ConsumeIntegralInRange(0, 3), i = in.ConsumeIntegralInRange(0, 4095);
                if (m.m_aSeries[s].bAllocated && i < m.m_nPointCount) {
                    if (in.ConsumeBool()) {
                        m.m_aSeries[s].pX[i] = AnyDouble(in);
                        m.m_aSeries[s].nPlainX = 0;
                    } else {
                        m.m_aSeries[s].pY[i] = AnyDouble(in);
                    }
                }
                break;
            }
            case 8: {
                const double x = AnyDouble(in), y = AnyDouble(in);
                CheckMapping(m, x, y);
                break;
            }
            case 9: {
                const PlotPoint a = m.MapToPlot(AnyDouble(in), AnyDouble(in));
                // Or any whole-pixel end at all, as far out as the cut's own limit.
                auto raw = [&] {
                    const double v = AnyDouble(in);
                    return std::isnan(v) ? v : std::trunc(std::clamp(v, -1e300, 1e300));
                };
                const PlotPoint b =
                    in.ConsumeBool() ? m.MapToPlot(AnyDouble(in), AnyDouble(in)) : PlotPoint{raw(), raw()};
                CheckSegment(m.DrawingBand(), a, b);
                break;
            }
            default: {
                const int nEvery[4] = {1, 2, 5, 10};
                CheckGridWalk(m, AnyInt(in, 9000), nEvery[in.ConsumeIntegralInRange(0, 3)]);
                const long long t = chart::MarkerThreshold(AnyDouble(in), in.ConsumeIntegral<int>());
                FUZZ_REQUIRE(std::llabs(t) <= (1LL << 62) / 100);
                break;
            }
        }
    }
    CheckDrawing(m);
    return 0;
}
