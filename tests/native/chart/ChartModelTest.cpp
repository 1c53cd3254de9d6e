// The strip chart's model: storage, limits, colours, layout and mapping.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "chart/ChartModel.h"

namespace {

using chart::ChartModel;
using chart::PixelPoint;
using chart::PixelRect;
using chart::Rgb;

// The main dialog's configuration: x range = point count, three series.
void Configure(ChartModel& m, int nPoints, int nSeriesCount = 3, double dYMax = 100.0) {
    m.SetRange(0, nPoints, 0, dYMax);
    m.m_nSeriesCount = nSeriesCount;
    ASSERT_TRUE(m.SetPointCount(nPoints));
}

struct Snapshot {
    int nDrawSeries, nDrawStyle, nLastIndex;
    chart::Color colours[3];
    explicit Snapshot(const ChartModel& m)
        : nDrawSeries(m.m_nDrawSeries),
          nDrawStyle(m.m_nDrawStyle),
          nLastIndex(m.m_nLastIndex),
          colours{m.m_aSeries[0].crColor, m.m_aSeries[1].crColor, m.m_aSeries[2].crColor} {}
    void ExpectSame(const ChartModel& m) const {
        EXPECT_EQ(nDrawSeries, m.m_nDrawSeries);
        EXPECT_EQ(nDrawStyle, m.m_nDrawStyle);
        EXPECT_EQ(nLastIndex, m.m_nLastIndex);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(colours[i], m.m_aSeries[i].crColor) << "series " << i;
    }
};

TEST(ChartModelStore, PointGoesToTheIntegerPartOfX) {
    ChartModel m;
    Configure(m, 10);
    ASSERT_TRUE(m.AddPoint(7.9, 42.5, 1, 0, 1));
    EXPECT_DOUBLE_EQ(7.9, m.m_aSeries[0].pX[7]);
    EXPECT_DOUBLE_EQ(42.5, m.m_aSeries[0].pY[7]);
    EXPECT_DOUBLE_EQ(0.0, m.m_aSeries[0].pY[8]);  // new storage is zero-filled
    EXPECT_EQ(9, m.m_nLastIndex);                 // every point is drawn from now on
    EXPECT_EQ(1, m.m_nDrawStyle);
    // The same index again replaces the point in place.
    ASSERT_TRUE(m.AddPoint(7.2, 10.0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(7.2, m.m_aSeries[0].pX[7]);
    EXPECT_DOUBLE_EQ(10.0, m.m_aSeries[0].pY[7]);
}

TEST(ChartModelStore, ValuesAreLimitedToTheRange) {
    ChartModel m;
    m.SetRange(-0.5, 9.5, 10.0, 50.0);
    m.m_nSeriesCount = 1;
    ASSERT_TRUE(m.SetPointCount(10));
    ASSERT_TRUE(m.AddPoint(3, 80.0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(50.0, m.m_aSeries[0].pY[3]);
    ASSERT_TRUE(m.AddPoint(4, -7.0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(10.0, m.m_aSeries[0].pY[4]);
    // x above the range lands on its maximum: index 9, x 9.5.
    ASSERT_TRUE(m.AddPoint(30.0, 20.0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(9.5, m.m_aSeries[0].pX[9]);
    // x below it: -0.5 truncates toward zero, index 0.
    ASSERT_TRUE(m.AddPoint(-4.0, 20.0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(-0.5, m.m_aSeries[0].pX[0]);
}

TEST(ChartModelStore, SeriesCountRecoloursTheSeries) {
    const chart::Color red = Rgb(255, 0, 0), yellow = Rgb(255, 255, 0), magenta = Rgb(255, 0, 255);
    ChartModel m;
    Configure(m, 8);
    const chart::Color blue = Rgb(0, 0, 255);
    for (auto& s : m.m_aSeries) s.crColor = blue;

    ASSERT_TRUE(m.AddPoint(0, 1, 1, 2, 0));
    EXPECT_EQ(red, m.m_aSeries[0].crColor);
    EXPECT_EQ(blue, m.m_aSeries[1].crColor);
    EXPECT_EQ(blue, m.m_aSeries[2].crColor);

    ASSERT_TRUE(m.AddPoint(0, 1, 2, 0, 0));
    EXPECT_EQ(yellow, m.m_aSeries[0].crColor);
    EXPECT_EQ(red, m.m_aSeries[1].crColor);
    EXPECT_EQ(blue, m.m_aSeries[2].crColor);

    for (auto& s : m.m_aSeries) s.crColor = blue;
    ASSERT_TRUE(m.AddPoint(0, 1, 3, 0, 0));  // whatever the series written
    EXPECT_EQ(magenta, m.m_aSeries[0].crColor);
    EXPECT_EQ(yellow, m.m_aSeries[1].crColor);
    EXPECT_EQ(red, m.m_aSeries[2].crColor);
    EXPECT_EQ(3, m.m_nDrawSeries);

    for (auto& s : m.m_aSeries) s.crColor = blue;
    ASSERT_TRUE(m.AddPoint(0, 1, 4, 1, 0));
    EXPECT_EQ(4, m.m_nDrawSeries);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(blue, m.m_aSeries[i].crColor);
    // Only three series hold arrays: drawing stops there.
    EXPECT_EQ(3, m.DrawableSeriesCount());
}

TEST(ChartModelRefuse, BeforeStorageIsReady) {
    ChartModel m;
    m.SetRange(0, 10, 0, 100);
    EXPECT_FALSE(m.AddPoint(1, 1, 1, 0, 0));
    EXPECT_EQ(0, m.m_nLastIndex);
}

TEST(ChartModelRefuse, SeriesCountNotBelowPointCount) {
    ChartModel m;
    Configure(m, 3);
    const Snapshot before(m);
    for (int series = 0; series < 3; ++series) EXPECT_FALSE(m.AddPoint(1, 5, 3, series, 1));
    before.ExpectSame(m);
    EXPECT_DOUBLE_EQ(0.0, m.m_aSeries[0].pY[1]);
    EXPECT_TRUE(m.AddPoint(1, 5, 2, 0, 1));  // 2 < 3 is fine

    ChartModel single;
    Configure(single, 1, 1);
    for (int count = -1; count <= 2; ++count) EXPECT_FALSE(single.AddPoint(0, 5, count, 0, 0)) << count;
    EXPECT_EQ(0, single.m_nLastIndex);
}

TEST(ChartModelRefuse, IndexOutsideTheStorage) {
    ChartModel m;
    m.SetRange(-5, 20, 0, 100);  // wider than the 10 points on both sides
    m.m_nSeriesCount = 1;
    ASSERT_TRUE(m.SetPointCount(10));
    ASSERT_TRUE(m.AddPoint(2, 5, 1, 0, 0));
    m.m_aSeries[0].crColor = Rgb(1, 2, 3);
    const Snapshot before(m);
    EXPECT_FALSE(m.AddPoint(10.0, 7, 1, 0, 1));
    EXPECT_FALSE(m.AddPoint(19.5, 7, 1, 0, 1));
    EXPECT_FALSE(m.AddPoint(-1.0, 7, 1, 0, 1));
    EXPECT_FALSE(m.AddPoint(std::nan(""), 7, 1, 0, 1));
    EXPECT_FALSE(m.AddPoint(3, std::nan(""), 1, 0, 1));
    before.ExpectSame(m);
    EXPECT_TRUE(m.AddPoint(9.99, 7, 1, 0, 1));
    EXPECT_TRUE(m.AddPoint(-0.9, 7, 1, 0, 1));  // toward zero: index 0
}

TEST(ChartModelRefuse, SeriesWithoutStorage) {
    ChartModel m;
    Configure(m, 10, 2);
    const Snapshot before(m);
    EXPECT_FALSE(m.AddPoint(1, 5, 3, 2, 0));  // at m_nSeriesCount
    EXPECT_FALSE(m.AddPoint(1, 5, 3, 599, 0));
    EXPECT_FALSE(m.AddPoint(1, 5, 3, 600, 0));  // beyond the table
    EXPECT_FALSE(m.AddPoint(1, 5, 3, -1, 0));
    before.ExpectSame(m);

    // Raising the series count without a new point count makes no arrays.
    m.m_nSeriesCount = 3;
    ASSERT_TRUE(m.SetPointCount(10));
    EXPECT_EQ(nullptr, m.m_aSeries[2].pY);
    EXPECT_FALSE(m.AddPoint(1, 5, 3, 2, 0));
    ASSERT_TRUE(m.AddPoint(1, 5, 3, 1, 0));
    EXPECT_EQ(2, m.DrawableSeriesCount());
}

TEST(ChartModelStorage, SameCountAllocatesNothingButMarksReady) {
    ChartModel fresh;
    EXPECT_TRUE(fresh.SetPointCount(0));
    EXPECT_TRUE(fresh.m_bStorageReady);
    EXPECT_EQ(0, fresh.m_aSeries[0].bAllocated);

    ChartModel m;
    Configure(m, 6);
    ASSERT_TRUE(m.AddPoint(4, 9, 3, 0, 0));
    const double* pX = m.m_aSeries[0].pX;
    const double* pY = m.m_aSeries[0].pY;
    m.m_bStorageReady = false;
    EXPECT_TRUE(m.SetPointCount(6));
    EXPECT_TRUE(m.m_bStorageReady);
    EXPECT_EQ(pX, m.m_aSeries[0].pX);
    EXPECT_EQ(pY, m.m_aSeries[0].pY);
    EXPECT_DOUBLE_EQ(9.0, m.m_aSeries[0].pY[4]);
    EXPECT_EQ(6, m.GetPointCount());
}

TEST(ChartModelStorage, ShrinkingNeverLetsDrawingReadBeyond) {
    ChartModel m;
    Configure(m, 40);
    ASSERT_TRUE(m.AddPoint(39, 9, 3, 2, 0));
    ASSERT_TRUE(m.SetPointCount(8));
    EXPECT_EQ(39, m.m_nLastIndex);  // left for the next point to set
    EXPECT_EQ(7, m.DrawableLastIndex());
    EXPECT_EQ(3, m.DrawableSeriesCount());
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(0.0, m.m_aSeries[i].pY[7]);

    // Fewer series than before: the arrays of the old length go as well.
    m.m_nSeriesCount = 1;
    ASSERT_TRUE(m.SetPointCount(5));
    EXPECT_EQ(1, m.m_aSeries[0].bAllocated);
    EXPECT_EQ(nullptr, m.m_aSeries[1].pX);
    EXPECT_EQ(nullptr, m.m_aSeries[2].pX);
    EXPECT_EQ(1, m.DrawableSeriesCount());

    ASSERT_TRUE(m.SetPointCount(0));
    EXPECT_LT(m.DrawableLastIndex(), 0);
    EXPECT_EQ(0, m.DrawableSeriesCount());
}

TEST(ChartModelStorage, NegativeCountChangesNothing) {
    ChartModel m;
    Configure(m, 5);
    ASSERT_TRUE(m.AddPoint(2, 9, 3, 0, 0));
    EXPECT_FALSE(m.SetPointCount(-1));
    EXPECT_EQ(5, m.GetPointCount());
    EXPECT_DOUBLE_EQ(9.0, m.m_aSeries[0].pY[2]);
}

TEST(ChartModelStorage, ClearZeroesOnlyTheYOfSeriesZero) {
    ChartModel m;
    Configure(m, 4);
    for (int i = 0; i < 4; ++i)
        for (int s = 0; s < 3; ++s) ASSERT_TRUE(m.AddPoint(i + 0.5, 10 + i + s, 3, s, 0));
    m.ClearSeriesValues();
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(0.0, m.m_aSeries[0].pY[i]);
        EXPECT_DOUBLE_EQ(i + 0.5, m.m_aSeries[0].pX[i]);
        EXPECT_DOUBLE_EQ(11.0 + i, m.m_aSeries[1].pY[i]);
        EXPECT_DOUBLE_EQ(12.0 + i, m.m_aSeries[2].pY[i]);
    }
    ChartModel empty;
    empty.ClearSeriesValues();  // no storage: nothing to touch
}

TEST(ChartModelSettings, AxisStyleOutsideZeroToTwoIsIgnored) {
    ChartModel m;
    m.SetAxisStyle(2);
    EXPECT_EQ(2, m.m_nAxisStyle);
    m.SetAxisStyle(3);
    EXPECT_EQ(2, m.m_nAxisStyle);
    m.SetAxisStyle(-1);
    EXPECT_EQ(2, m.m_nAxisStyle);
    m.m_bRedrawStatic = false;
    m.SetAxisStyle(1);
    EXPECT_EQ(1, m.m_nAxisStyle);
    EXPECT_FALSE(m.m_bRedrawStatic);
    m.SetGrid(80, 4);
    EXPECT_TRUE(m.m_bRedrawStatic);
}

TEST(ChartModelGeometry, LayoutFromTheClientRectangle) {
    ChartModel m;
    m.SetClientRect(PixelRect{0, 0, 780, 130});
    EXPECT_EQ(2, m.m_rcFrame.left);
    EXPECT_EQ(2, m.m_rcFrame.top);
    EXPECT_EQ(778, m.m_rcFrame.right);
    EXPECT_EQ(128, m.m_rcFrame.bottom);
    EXPECT_EQ(20, m.m_rcPlot.left);
    EXPECT_EQ(27, m.m_rcPlot.top);
    EXPECT_EQ(768, m.m_rcPlot.right);
    EXPECT_EQ(103, m.m_rcPlot.bottom);
}

TEST(ChartModelGeometry, MappingTruncatesTowardZero) {
    ChartModel m;
    m.SetClientRect(PixelRect{0, 0, 780, 130});  // plot 748 x 76 pixels
    m.SetRange(0, 748, 0, 152);                  // one x unit and two y units per pixel
    EXPECT_DOUBLE_EQ(1.0, m.m_dXPerPixel);
    EXPECT_DOUBLE_EQ(2.0, m.m_dYPerPixel);

    const PixelPoint origin = m.MapPoint(0, 0);
    EXPECT_EQ(20, origin.x);
    EXPECT_EQ(103, origin.y);
    const PixelPoint inside = m.MapPoint(10.7, 51);
    EXPECT_EQ(30, inside.x);
    EXPECT_EQ(78, inside.y);
    const PixelPoint top = m.MapPoint(748, 152);
    EXPECT_EQ(768, top.x);
    EXPECT_EQ(27, top.y);
    // Outside the range: outside the plot, truncated toward zero, not floored.
    const PixelPoint below = m.MapPoint(-3.5, -3);
    EXPECT_EQ(17, below.x);
    EXPECT_EQ(104, below.y);

    // A range that does not start at zero.
    m.SetRange(100, 848, -76, 76);
    const PixelPoint shifted = m.MapPoint(110, 0);
    EXPECT_EQ(30, shifted.x);
    EXPECT_EQ(65, shifted.y);
}

TEST(ChartModelGeometry, DegenerateRangesAndFarValues) {
    ChartModel m;  // client rectangle still empty: no scale on either axis
    EXPECT_EQ(m.m_rcPlot.left, m.MapPoint(5, 100).x);
    EXPECT_EQ(m.m_rcPlot.bottom, m.MapPoint(5, 100).y);

    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const double far = chart::kMaxPixelOffset;
    struct Case {
        const char* what;
        double xMin, xMax, yMin, yMax, x, y, px, py;
    } cases[] = {
        {"in range", 0, 748, 0, 152, 10.7, 51, 30, 78},
        {"zero X extent", 5, 5, 0, 152, 7, 51, 20, 78},
        {"zero Y extent", 0, 748, 3, 3, 10.7, 51, 30, 103},
        {"infinite extent", 0, inf, -inf, 0, 10, -5, 20, 103},
        {"extent beyond a double", -1e308, 1e308, -1e308, 1e308, 0, 0, 20, 103},
        {"NaN range", nan, 1, 0, nan, 10, 10, 20, 103},
        {"tiny extent", 0, 748, 0, 1e-300, 10.7, 1, 30, 103 - far},
        {"1e12", 0, 748, 0, 152, 1e12, 1e12, 20 + far, 103 - far},
        {"-1e300", 0, 748, 0, 152, -1e300, -1e300, 20 - far, 103 + far},
        {"infinities", 0, 748, 0, 152, inf, -inf, 20 + far, 103 + far},
        {"NaN value", 0, 748, 0, 152, nan, 51, nan, 78},
    };
    m.SetClientRect(PixelRect{0, 0, 780, 130});  // plot 748 x 76 pixels from (20, 27)
    for (const Case& k : cases) {
        m.SetRange(k.xMin, k.xMax, k.yMin, k.yMax);
        const chart::PlotPoint p = m.MapToPlot(k.x, k.y);
        const PixelPoint q = m.MapPoint(k.x, k.y);
        EXPECT_TRUE(std::isnan(k.px) ? std::isnan(p.x) : p.x == k.px) << k.what << ": " << p.x;
        EXPECT_TRUE(std::isnan(k.py) ? std::isnan(p.y) : p.y == k.py) << k.what << ": " << p.y;
        EXPECT_EQ(std::isnan(k.px) ? 20 : k.px, q.x) << k.what;  // the edge stands in for NaN
        EXPECT_EQ(std::isnan(k.py) ? 103 : k.py, q.y) << k.what;
    }

    // A client rectangle as large as an int allows: no overflow anywhere.
    m.SetClientRect(PixelRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    m.SetRange(0, 1, 0, 1);
    const chart::PixelRect band = m.DrawingBand();
    for (double v : {-inf, -1e300, 0.5, 1e300, inf}) {
        const chart::PlotPoint p = m.MapToPlot(v, v);
        EXPECT_LE(std::fabs(p.x), chart::kMaxCoordinate) << v;
        EXPECT_LE(std::fabs(p.y), chart::kMaxCoordinate) << v;
    }
    EXPECT_LE(band.right, chart::kMaxCoordinate);
    EXPECT_GE(band.left, -chart::kMaxCoordinate);
}

TEST(ChartModelGeometry, SegmentsAreCutAtTheBand) {
    const double nan = std::nan("");
    const PixelRect band{0, 0, 100, 50};
    struct Case {
        const char* what;
        chart::PlotPoint a, b;
        bool drawn;
        PixelPoint from, to;
    } cases[] = {
        {"inside", {10, 20}, {90, 40}, true, {10, 20}, {90, 40}},
        {"on the edge", {100, 50}, {100, 50}, true, {100, 50}, {100, 50}},
        {"straight up", {10, 20}, {10, -1e9}, true, {10, 20}, {10, 0}},
        {"steep to the mapping's bound", {10, 20}, {11, -134217728}, true, {10, 20}, {10, 0}},
        {"across both sides", {-50, 25}, {150, 25}, true, {0, 25}, {100, 25}},
        {"from far below to far above", {50, 1e9}, {50, -1e9}, true, {50, 50}, {50, 0}},
        {"cut end rounds down", {0, 0}, {300, 100}, true, {0, 0}, {100, 33}},
        {"cut end rounds up", {0, 0}, {300, 101}, true, {0, 0}, {100, 34}},
        {"beside the band", {-10, -10}, {-5, 60}, false, {}, {}},
        {"past the corner", {-10, 5}, {5, -10}, false, {}, {}},
        {"NaN end", {10, 20}, {nan, 20}, false, {}, {}},
    };
    for (const Case& k : cases) {
        PixelPoint from{-1, -1}, to{-1, -1};
        ASSERT_EQ(k.drawn, chart::ClipToBand(band, k.a, k.b, from, to)) << k.what;
        if (!k.drawn) continue;
        EXPECT_EQ(k.from.x, from.x) << k.what;
        EXPECT_EQ(k.from.y, from.y) << k.what;
        EXPECT_EQ(k.to.x, to.x) << k.what;
        EXPECT_EQ(k.to.y, to.y) << k.what;
    }
    PixelPoint at{};
    EXPECT_TRUE(chart::PointInBand(band, {100, 0}, at));
    EXPECT_EQ(100, at.x);
    EXPECT_FALSE(chart::PointInBand(band, {101, 0}, at));
    EXPECT_FALSE(chart::PointInBand(band, {50, -0.5}, at));
    EXPECT_FALSE(chart::PointInBand(band, {nan, 0}, at));
}

TEST(ChartModelThreshold, IntegerArithmeticOnTheTruncatedLevel) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double level;
        int percent;
        long long t;
    } cases[] = {{1234.9, 50, 617},
                 {1234.9, 70, 863},  // not trunc(1234.9 * 70 / 100) = 864
                 {-1234.9, 70, -863},
                 {0.99, 100, 0},
                 {std::nan(""), 50, 0},
                 {2147483647.5, 100, 2147483647},
                 {1e300, INT_MAX, 2147483648LL * INT_MAX / 100},
                 {-inf, INT_MIN, 46116860184273879LL}};
    for (const Case& k : cases)
        EXPECT_EQ(k.t, chart::MarkerThreshold(k.level, k.percent)) << k.level << " " << k.percent;
}

TEST(ChartModelGrid, EveryDistinctPositionOnceInBoundedTime) {
    struct Case {
        const char* what;
        int nLast;
        std::function<long long(int)> pos;
    } cases[] = {
        {"none", -1, [](int k) { return k; }},
        {"one", 0, [](int k) { return k; }},
        {"every one distinct", 40, [](int k) { return k; }},
        {"runs of three", 10, [](int k) { return k / 3; }},
        {"runs of one and two", 60, [](int k) { return static_cast<long long>(k * 0.7); }},
        {"growing runs", 200, [](int k) { return static_cast<long long>(std::sqrt(k)); }},
        {"falling", 50, [](int k) { return -(k / 4); }},
        {"all the same, every int", INT_MAX, [](int) { return 7; }},
        {"a thousand runs over every int", INT_MAX, [](int k) { return k / (INT_MAX / 1000 + 1); }},
    };
    for (const Case& k : cases) {
        long long calls = 0;
        std::vector<long long> visited;
        chart::ForEachDistinct(
            k.nLast,
            [&](int i) {
                ++calls;
                return k.pos(i);
            },
            [&](int i) { visited.push_back(k.pos(i)); });
        std::vector<long long> expected;
        if (k.nLast < 100000) {
            for (int i = 0; i <= k.nLast; ++i)
                if (expected.empty() || expected.back() != k.pos(i)) expected.push_back(k.pos(i));
        } else {
            for (long long v = k.pos(0);; ++v) {  // the test's functions step by one
                expected.push_back(v);
                if (v == k.pos(k.nLast)) break;
            }
        }
        EXPECT_EQ(expected, visited) << k.what;
        EXPECT_LE(calls, 3 + 34 * static_cast<long long>(expected.size())) << k.what;
    }
}

}  // namespace
