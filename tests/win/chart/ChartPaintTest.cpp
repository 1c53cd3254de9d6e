// The strip chart as a real window, painted into memory bitmaps and read back
// pixel by pixel.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "chart/PaintCache.h"
#include "chart/RealTimeChart.h"

namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);
constexpr COLORREF kBackground = RGB(0, 128, 64);
constexpr COLORREF kGridGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(153, 153, 153);

// Opens the protected parts the tests look at.
class TestChart : public CRealTimeChart {
public:
    using CRealTimeChart::DrawAxes;
    using CRealTimeChart::DrawBackground;
    using CRealTimeChart::DrawGrid;
    using CRealTimeChart::DrawLabels;
    using CRealTimeChart::DrawLogGrid;
    using CRealTimeChart::DrawSeries;
    using CRealTimeChart::DrawTitle;
    using CRealTimeChart::m_bmpStatic;
    using CRealTimeChart::m_dcStatic;
    using CRealTimeChart::m_pBuffer;
    using CRealTimeChart::m_pLabelFont;
    using CRealTimeChart::m_pLines;
    using CRealTimeChart::m_pTickFont;
};

// A 32-bit top-down DIB in a memory DC, filled with a colour nothing paints.
class Canvas {
public:
    Canvas(int w, int h, int bpp = 32) : m_w(w), m_h(h), m_bpp(bpp) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bmp = ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<std::uint32_t*>(bits);
        m_old = ::SelectObject(m_dc, m_bmp);
        if (bpp == 32)
            for (int i = 0; i < w * h; ++i) m_bits[i] = 0x010203;  // kSentinel
        m_cdc.Attach(m_dc);
    }
    ~Canvas() {
        m_cdc.Detach();
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bmp);
        ::DeleteDC(m_dc);
    }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const std::uint32_t v = m_bits[y * m_w + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    bool Has(COLORREF c, int x0, int y0, int x1, int y1) const {  // inclusive box
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (At(x, y) == c) return true;
        return false;
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) n += At(x, y) == c;
        return n;
    }
    std::vector<std::uint32_t> Pixels() const {
        ::GdiFlush();
        const int words = (m_w * m_bpp + 31) / 32 * m_h;
        return std::vector<std::uint32_t>(m_bits, m_bits + words);
    }
    CDC* dc() { return &m_cdc; }
    HDC hdc() const { return m_dc; }

private:
    int m_w, m_h, m_bpp;
    HDC m_dc;
    HBITMAP m_bmp;
    HGDIOBJ m_old;
    std::uint32_t* m_bits;
    CDC m_cdc;
};

// A chart window of the dialog's size, bound to the control as the dialog does.
struct ChartWindow {
    explicit ChartWindow(int w = 780, int h = 130) : width(w), height(h) {
        hwnd = ::CreateWindowW(L"Realtime_Chart_Class", L"", WS_POPUP, 0, 0, w, h, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
        chart.SubclassWindow(hwnd);
    }
    ~ChartWindow() { ::DestroyWindow(hwnd); }

    // What the dialog does when the axis window changes.
    void Configure(int n, double level = 100.0) {
        chart.m_dAverageLevel = 0.0;
        chart.SetRange(0, n, 0, level);
        chart.m_nSeriesCount = 3;
        ASSERT_TRUE(chart.SetPointCount(n));
        chart.SetAxisStyle(0);
        chart.SetGrid(2 * n, 4);
    }
    void Fill(int n, double value, int style = 0) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(chart.AddPoint(i, value, 1, 0, style));
    }
    std::unique_ptr<Canvas> Paint(int bpp = 32) {
        auto canvas = std::make_unique<Canvas>(width, height, bpp);
        chart.PaintTo(canvas->dc());
        return canvas;
    }
    CPoint At(double x, double y) const {
        const chart::PixelPoint p = chart.MapPoint(x, y);
        return CPoint(p.x, p.y);
    }

    TestChart chart;  // first: its constructor registers the class
    int width, height;
    HWND hwnd = nullptr;
};

// The pen colour of the marker of receiver i: the ring above its centre.
bool MarkerIs(const Canvas& c, CPoint p, COLORREF colour) {
    return c.Has(colour, p.x, p.y - 7, p.x, p.y - 3) && c.At(p.x, p.y) == kWhite;
}

TEST(ChartWindowTest, ConstructorRegistersTheClass) {
    TestChart chart;
    WNDCLASSW wc{};
    ASSERT_TRUE(::GetClassInfoW(::GetModuleHandleW(nullptr), L"Realtime_Chart_Class", &wc));
    EXPECT_EQ(11u, wc.style);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(16), wc.hbrBackground);
    TestChart second;  // registering again is harmless
}

TEST(ChartWindowTest, SubclassingTakesTheClientSize) {
    ChartWindow w;
    EXPECT_EQ(778, w.chart.m_rcFrame.right);
    EXPECT_EQ(103, w.chart.m_rcPlot.bottom);
    EXPECT_NE(nullptr, w.chart.m_pLabelFont);
}

TEST(ChartPaintTest, NothingIsPaintedBeforeTheFirstPoint) {
    ChartWindow w;
    w.Configure(40);
    auto canvas = w.Paint();
    EXPECT_EQ(780 * 130, canvas->Count(kSentinel));
    // Refused points leave it so.
    EXPECT_FALSE(w.chart.AddPoint(1, 50, 40, 0, 0));
    canvas = w.Paint();
    EXPECT_EQ(780 * 130, canvas->Count(kSentinel));
}

TEST(ChartPaintTest, PictureCoversTheFrameSizeFromTheOrigin) {
    ChartWindow w;
    w.Configure(40);
    w.Fill(40, 50);
    auto c = w.Paint();
    EXPECT_EQ(kBackground, c->At(2, 2));
    EXPECT_EQ(kBackground, c->At(775, 125));
    EXPECT_EQ(kSentinel, c->At(776, 60));  // the last 4 pixels are the window's
    EXPECT_EQ(kSentinel, c->At(60, 126));
    // The strip the background leaves shows the window's own background colour.
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), c->At(1, 60));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), c->At(60, 0));
}

TEST(ChartPaintTest, MarkerColoursFollowTheThreshold) {
    ChartWindow w;
    w.Configure(40);
    // Level 1234.9: at 50 % T = 1234 * 50 / 100 = 617; at 70 % T = 86380 / 100 =
    // 863, where trunc(1234.9 * 70 / 100) would give 864.
    struct Case {
        int percent;
        double value;
        COLORREF colour;
    } cases[] = {{50, 0.0, kBlack}, {50, 15.25, kBlue},        {50, 15.5, kRed},         {50, 617.0 / 40.0, kRed},
                 {50, 80.0, kRed},  {70, 862.5 / 40.0, kBlue}, {70, 863.0 / 40.0, kRed}, {70, 863.5 / 40.0, kRed}};
    ASSERT_EQ(617.0, 40.0 * (617.0 / 40.0));
    ASSERT_EQ(863.0, 40.0 * (863.0 / 40.0));
    for (const Case& k : cases) {
        w.chart.m_nThresholdPercent = k.percent;
        w.chart.m_dAverageLevel = 1234.9;
        w.Fill(40, k.value);
        auto c = w.Paint();
        for (int i : {1, 10, 39})
            EXPECT_TRUE(MarkerIs(*c, w.At(i, k.value), k.colour)) << k.percent << "%, " << k.value << " #" << i;
        // Without a reference level nothing is blue.
        w.chart.m_dAverageLevel = 0.0;
        c = w.Paint();
        EXPECT_TRUE(MarkerIs(*c, w.At(10, k.value), k.value == 0 ? kBlack : kRed)) << k.value;
    }
}

TEST(ChartPaintTest, BarColoursFollowTheValue) {
    ChartWindow w;
    w.Configure(40);
    w.chart.SetRange(0, 40, -50, 100);  // room below zero for the bars
    struct Case {
        double value;
        COLORREF colour;
    } cases[] = {{15.0, kRed}, {14.99, kGrey}, {0.0, kBlack}, {-5.0, kRed}, {60.0, kRed}};
    for (const Case& k : cases) {
        w.Fill(40, k.value, 1);
        auto c = w.Paint();
        const int bottom = w.chart.m_rcPlot.bottom;
        for (int i : {1, 10, 39}) {
            const CPoint p = w.At(i, k.value);
            EXPECT_EQ(k.colour, c->At(p.x + 2, (bottom + p.y) / 2)) << k.value << " #" << i;
            EXPECT_EQ(kBackground, c->At(p.x + 3, (bottom + p.y) / 2)) << "5 pixels wide";
        }
        const CPoint first = w.At(0, k.value);
        EXPECT_EQ(kBackground, c->At(first.x + 2, (bottom + first.y) / 2)) << "point 0 has no bar";
        EXPECT_FALSE(c->Has(kWhite, 0, 0, 775, 125)) << "no markers in bar style";
    }
}

TEST(ChartPaintTest, GridForFortyReceivers) {
    ChartWindow w;
    w.Configure(40);
    w.Fill(40, 60.0);  // markers between the quarter lines, clear of the tested spots
    auto c = w.Paint();
    const int y = (w.At(0, 75).y + w.At(0, 100).y) / 2;  // a row between horizontal lines
    for (int k = 0; k <= 40; ++k) {
        const int x = w.At(k, 0).x;
        EXPECT_EQ(kGridGreen, c->At(x, y)) << "receiver " << k;
        EXPECT_EQ(kBackground, c->At(x + 4, y)) << "receiver " << k;
        const int width = 1 + (c->At(x - 1, y) == kGridGreen) + (c->At(x + 1, y) == kGridGreen);
        EXPECT_EQ(k % 5 == 0 ? 2 : 1, width) << "receiver " << k;
    }
    const int x = w.At(2.5, 0).x;  // between two receivers
    for (int q = 0; q <= 4; ++q) {
        const int row = w.At(0, 25.0 * q).y;
        EXPECT_EQ(kGridGreen, c->At(x, row)) << "quarter " << q;
        EXPECT_EQ(kBackground, c->At(x, row - 4)) << "quarter " << q;
    }
}

TEST(ChartPaintTest, TickLabelsEveryFiveReceivers) {
    ChartWindow w;
    w.Configure(40);
    w.chart.m_nXLabelOffset = 100;
    w.Fill(40, 50.0);
    auto c = w.Paint();

    // The label band below the plot holds nothing but the labels.
    const int top = w.chart.m_rcPlot.bottom + 4, bottom = w.chart.m_rcFrame.Height() - 1;
    auto inkInColumn = [&](int x) {
        for (int y = top; y <= bottom; ++y)
            if (c->At(x, y) != kBackground) return true;
        return false;
    };
    Canvas probe(8, 8);
    ::SelectObject(probe.hdc(), w.chart.m_pLabelFont->GetSafeHandle());
    const int h = probe.dc()->GetTextExtent("101").cy;
    for (int i = 0; i < 80; i += 10) {
        const int right = w.At(i * 0.5, 0).x - h / 2 + 10;  // right edge of the text
        int rightmost = -1;
        for (int x = right - 25; x <= right + 8; ++x)
            if (inkInColumn(x)) rightmost = x;
        EXPECT_GE(rightmost, right - 4) << "division " << i;
        EXPECT_LE(rightmost, right) << "division " << i;
    }
    // None at the last division: nothing right of the label of receiver 36.
    for (int x = w.At(35, 0).x + 20; x < 776; ++x) EXPECT_FALSE(inkInColumn(x)) << x;
}

TEST(ChartPaintTest, AxisStyles) {
    const COLORREF kAxis = RGB(255, 128, 0);
    for (int style : {0, 1, 2, 7}) {
        ChartWindow w;
        w.Configure(40);
        w.chart.SetGrid(-1, -1);  // no grid over the axes
        w.chart.m_crAxis = kAxis;
        w.chart.m_nAxisStyle = style;  // 7: set directly, SetAxisStyle refuses it
        w.Fill(40, 95.0);
        auto c = w.Paint();
        const CPoint left = w.At(0, 30), bottom = w.At(30, 0), midX = w.At(20, 20), midY = w.At(30, 50);
        auto on = [&](CPoint p) { return c->Has(kAxis, p.x - 1, p.y - 1, p.x + 1, p.y + 1); };
        EXPECT_EQ(style == 0 || style == 1, on(left)) << style;
        EXPECT_EQ(style == 0, on(bottom)) << style;
        EXPECT_EQ(style == 2, on(midX)) << style;
        EXPECT_EQ(style == 1 || style == 2, on(midY)) << style;
        if (style == 7) {
            EXPECT_EQ(0, c->Count(kAxis));
        }
    }
}

TEST(ChartPaintTest, ShrunkStorageIsNotReadBeyond) {
    ChartWindow w;
    w.Configure(512);
    for (int i = 0; i < 512; ++i) w.chart.AddPoint(i, 60.0, 1, 0, 0);
    ASSERT_EQ(511, w.chart.m_nLastIndex);
    ASSERT_TRUE(w.chart.SetPointCount(8));  // the dialog repaints before the next point
    for (bool fast : {true, false}) {
        w.chart.m_bFastMarkers = fast;
        auto c = w.Paint();
        // The eight new points are zeros at x 0: every marker sits at the origin.
        EXPECT_TRUE(MarkerIs(*c, w.At(0, 0), kBlack));
        EXPECT_FALSE(c->Has(kWhite, w.At(0, 0).x + 7, 0, 775, 125)) << fast;
        EXPECT_FALSE(c->Has(kRed, w.At(0, 0).x + 7, 0, 775, 125)) << fast;
    }
}

// The same data painted with stamped markers and lines and with Ellipse and
// LineTo, pixel for pixel: whole paints (stamps written into the chart's own
// bitmap) and the series drawn straight into a caller's DC (markers stamped
// with BitBlt, lines always drawn).
int Differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int n = a.size() == b.size() ? 0 : -1;
    for (size_t i = 0; n >= 0 && i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

void ExpectSamePicture(ChartWindow& w, const char* what) {
    for (int bpp : {32, 16}) {
        std::vector<std::uint32_t> pictures[2], series[2];
        POINT position[2]{};
        for (int fast = 0; fast < 2; ++fast) {
            w.chart.m_bFastMarkers = fast != 0;
            w.chart.m_bFastLines = fast != 0;
            pictures[fast] = w.Paint(bpp)->Pixels();
            ::GetCurrentPositionEx(w.chart.m_pBuffer->Hdc(), &position[fast]);
            Canvas direct(w.width, w.height, bpp);
            w.chart.DrawSeries(direct.dc());
            series[fast] = direct.Pixels();
        }
        EXPECT_EQ(0, Differing(pictures[0], pictures[1])) << what << ", paint, " << bpp << " bits";
        EXPECT_EQ(0, Differing(series[0], series[1])) << what << ", series into a DC, " << bpp << " bits";
        EXPECT_EQ(position[0].x, position[1].x) << what << ", current position, " << bpp << " bits";
        EXPECT_EQ(position[0].y, position[1].y) << what << ", current position, " << bpp << " bits";
    }
}

// Overwrites the stored points of series s (stored first through AddPoint).
void SetSeries(ChartWindow& w, int nSeries, int nStyle, const std::vector<double>& xs, const std::vector<double>& ys) {
    for (size_t i = 0; i < xs.size(); ++i)
        ASSERT_TRUE(w.chart.AddPoint(static_cast<double>(i), 1.0, 3, nSeries, nStyle));
    for (size_t i = 0; i < xs.size(); ++i) {
        w.chart.m_aSeries[nSeries].pX[i] = xs[i];
        w.chart.m_aSeries[nSeries].pY[i] = ys[i];
    }
}

TEST(ChartLineStampTest, IdenticalToLineTo) {
    ChartWindow w;  // plot about 740 x 100 pixels
    w.Configure(512);
    w.chart.m_nThresholdPercent = 50;
    w.chart.m_dAverageLevel = 2000.0;
    std::uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    std::vector<double> xs(512), ys[3];
    for (auto& y : ys) y.resize(512);

    // Steep and shallow: full-height zigzags 1..3 pixels apart, plateaus, slopes.
    for (int i = 0; i < 512; ++i) {
        xs[i] = i;
        ys[0][i] = (i / 3) % 2 ? 100.0 : 0.0;
        ys[1][i] = (i % 64) * 1.5;
        ys[2][i] = 50.0 + 49.0 * std::sin(i * 0.05);
    }
    for (int s = 0; s < 3; ++s) SetSeries(w, s, 0, xs, ys[s]);
    ExpectSamePicture(w, "zigzags and slopes");
    ASSERT_TRUE(w.chart.m_pLines);
    EXPECT_LT(0u, w.chart.m_pLines->Shapes()) << "the fast paint stamped";

    // Shallow and long: few points far apart, x decreasing as well as increasing.
    for (int i = 0; i < 512; ++i) {
        xs[i] = (i * 97) % 512;  // jumps of +97 and -415 receivers
        for (int s = 0; s < 3; ++s) ys[s][i] = next() % 101;
    }
    for (int s = 0; s < 3; ++s) SetSeries(w, s, 0, xs, ys[s]);
    ExpectSamePicture(w, "long segments both ways");

    // Random x and y in and beyond the range: segments crossing every edge,
    // starting and ending outside the bitmap, short and longer than any stamp.
    for (int i = 0; i < 512; ++i) {
        xs[i] = static_cast<double>(next() % 700) - 100.0;
        for (int s = 0; s < 3; ++s) ys[s][i] = static_cast<double>(next() % 500) - 200.0;
    }
    for (int s = 0; s < 3; ++s) SetSeries(w, s, 0, xs, ys[s]);
    ExpectSamePicture(w, "segments across the edges");
    for (int i = 0; i < 512; ++i) {
        xs[i] = i + (next() % 5 == 0 ? -3.0 : 0.0);
        for (int s = 0; s < 3; ++s) ys[s][i] = static_cast<double>(next() % 140) - 20.0;
    }
    // Thousands of pixels out: LineTo draws those (near the 27-bit limit it
    // takes seconds, so not that far).
    ys[0][100] = 5000.0;
    ys[1][200] = -3000.0;
    ys[2][300] = 400.0;
    for (int s = 0; s < 3; ++s) SetSeries(w, s, 0, xs, ys[s]);
    ExpectSamePicture(w, "steps of -3 and +1 receivers, far out values");

    // Bars: 1-pixel lines and 5-pixel bars in three colours, overlapping.
    w.chart.SetRange(0, 512, -50, 100);
    for (int i = 0; i < 512; ++i) {
        xs[i] = i;
        for (int s = 0; s < 3; ++s) {
            const unsigned r = next();
            ys[s][i] = r % 7 == 0 ? 0.0 : r % 5 == 0 ? (r >> 4) % 15 : static_cast<double>((r >> 4) % 300) - 120.0;
        }
    }
    for (int s = 0; s < 3; ++s) SetSeries(w, s, 1, xs, ys[s]);
    w.chart.m_nDrawStyle = 1;
    ExpectSamePicture(w, "bars");
}

TEST(ChartMarkerStampTest, IdenticalToEllipse) {
    ChartWindow w;
    w.Configure(512);
    w.chart.m_nThresholdPercent = 50;
    w.chart.m_dAverageLevel = 2000.0;  // T = 1000: values below 25 are blue
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < 512; ++i) {
        const double v[3] = {static_cast<double>(next() % 101), (next() % 4 == 0) ? 0.0 : (next() % 3000) / 100.0,
                             (next() % 5 == 0) ? 0.0 : 10.0 + (next() % 90)};
        for (int s = 0; s < 3; ++s) ASSERT_TRUE(w.chart.AddPoint(i, v[s], 3, s, 0));
    }
    ExpectSamePicture(w, "512 receivers, 3 series, overlapping markers");

    // Points beyond every edge of the bitmap: the range narrowed after they were stored.
    w.chart.SetRange(100, 300, 20, 60);
    ExpectSamePicture(w, "markers clipped at the edges");

    // A new series colour and another brush-compatible picture: the sheet grows.
    w.chart.SetRange(0, 512, 0, 100);
    for (int i = 0; i < 512; ++i) ASSERT_TRUE(w.chart.AddPoint(i, (i % 7) * 5.0, 1, 0, 0));
    w.chart.m_aSeries[0].crColor = RGB(10, 200, 30);
    ExpectSamePicture(w, "one series");
}

TEST(ChartMarkerStampTest, IdenticalInASmallWindow) {
    ChartWindow w(60, 64);  // plot 28 x 10 pixels: every marker crosses an edge
    w.Configure(12);
    w.chart.m_nThresholdPercent = 100;
    w.chart.m_dAverageLevel = 2000.0;
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(w.chart.AddPoint(i, (i * 37) % 100, 1, 0, 0));
    ExpectSamePicture(w, "small window");
}

// Receiver 20 of 40 far beyond the range (as after the range was narrowed
// under it) or NaN, the others at 50. A far value draws as one at the mapping's
// bound, its segments cut at the drawing band run where the whole segment would
// (straight up or down from the neighbours), NaN breaks the line, and nothing
// away from receiver 20 changes.
TEST(ChartClipTest, FarOutAndNaNValues) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    ChartWindow w;
    w.Configure(40);
    const double bound = (chart::kMaxPixelOffset + 0.5) * w.chart.m_dYPerPixel;
    struct Case {
        double value, drawnAs;
    } cases[] = {{1e12, bound},    {1e300, bound}, {inf, bound}, {-1e12, -bound},
                 {-1e300, -bound}, {-inf, -bound}, {nan, nan}};
    const int x19 = w.At(19, 0).x, x20 = w.At(20, 0).x, x21 = w.At(21, 0).x;
    for (int style : {0, 1}) {
        auto paintWith = [&](double v) {
            w.Fill(40, 50.0, style);
            w.chart.m_aSeries[0].pY[20] = v;
            return w.Paint();
        };
        const std::vector<std::uint32_t> plain = paintWith(50.0)->Pixels();
        for (const Case& k : cases) {
            const std::string what = (style ? "bars, " : "lines, ") + std::to_string(k.value);
            auto c = paintWith(k.value);
            ExpectSamePicture(w, what.c_str());
            const std::vector<std::uint32_t> picture = c->Pixels();
            int changed = 0;
            for (int y = 0; y < w.height; ++y)
                for (int x = 0; x < w.width; ++x)
                    changed += (x < x19 - 8 || x > x21 + 8) && picture[y * w.width + x] != plain[y * w.width + x];
            EXPECT_EQ(0, changed) << what;
            if (std::isnan(k.value)) {
                const int margin = style ? 3 : 7;  // half a bar, a marker
                EXPECT_FALSE(c->Has(kRed, x19 + margin, 0, x21 - margin, 125)) << what;
                EXPECT_FALSE(c->Has(kWhite, x19 + margin, 0, x21 - margin, 125)) << what;
                continue;
            }
            EXPECT_EQ(0, Differing(paintWith(k.drawnAs)->Pixels(), picture)) << what;
            const bool up = k.value > 0;
            for (int y : up ? std::vector<int>{5, 25, 45} : std::vector<int>{108, 116, 124}) {
                EXPECT_TRUE(c->Has(kRed, x19 - 1, y, x19 + 1, y)) << what << ", row " << y;
                EXPECT_TRUE(c->Has(kRed, x21 - 1, y, x21 + 1, y)) << what << ", row " << y;
                // A line: nothing between its neighbours; bars: the bar of receiver 20.
                EXPECT_EQ(style == 1, c->Has(kRed, x20 - 3, y, x20 + 3, y)) << what << ", row " << y;
            }
        }
    }
}

// Brute force: every line of the grid, as the division loops describe it.
void EveryGridLine(TestChart& chart, CDC* pDC) {
    CPen minor(PS_SOLID, 0, chart.m_crGrid), major(PS_SOLID, 2, chart.m_crMajorGrid);
    const HGDIOBJ old = pDC->SelectObject(&minor);
    const int every[4] = {2, 1, 10, 5};
    for (int pass = 0; pass < 4; ++pass) {
        if (pass == 2) pDC->SelectObject(&major);
        const bool vertical = pass % 2 == 0;
        const int n = vertical ? chart.m_nXDivisions : chart.m_nYDivisions;
        const double lo = vertical ? chart.m_dXMin : chart.m_dYMin, hi = vertical ? chart.m_dXMax : chart.m_dYMax;
        for (int i = 0; i <= n; ++i) {
            if (i % every[pass] != 0) continue;
            const double v = i * ((hi - lo) / n) + lo;
            const chart::PixelPoint a = vertical ? chart.MapPoint(v, chart.m_dYMin) : chart.MapPoint(chart.m_dXMin, v);
            const chart::PixelPoint b = vertical ? chart.MapPoint(v, chart.m_dYMax) : chart.MapPoint(chart.m_dXMax, v);
            pDC->MoveTo(a.x, a.y);
            pDC->LineTo(b.x, b.y);
        }
    }
    pDC->SelectObject(old);
}

TEST(ChartClipTest, GridOfAnyDivisionCount) {
    ChartWindow w;
    w.Configure(40);
    // Fewer and many more divisions than pixels: the picture of every line.
    const int counts[][2] = {{1, 1}, {7, 3}, {80, 4}, {8192, 4}, {2999, 157}, {3, 1000}};
    for (const auto& n : counts) {
        w.chart.SetGrid(n[0], n[1]);
        Canvas drawn(w.width, w.height), expected(w.width, w.height);
        w.chart.DrawGrid(drawn.dc());
        EveryGridLine(w.chart, expected.dc());
        EXPECT_EQ(0, Differing(expected.Pixels(), drawn.Pixels())) << n[0] << " x " << n[1];
    }
}

// Configurations without a sensible picture still paint at once, and what
// they paint follows the documented rules.
TEST(ChartClipTest, DegenerateConfigurations) {
    struct Case {
        const char* what;
        std::function<void(ChartWindow&)> setUp;
        std::function<void(ChartWindow&, const Canvas&)> check;
    } cases[] = {
        {"zero Y extent: values limited to it, on the bottom edge",
         [](ChartWindow& w) {
             w.chart.SetRange(0, 40, 0, 0);
             w.Fill(40, 50.0);
         },
         [](ChartWindow& w, const Canvas& c) {
             EXPECT_TRUE(MarkerIs(c, CPoint(w.At(10, 0).x, w.chart.m_rcPlot.bottom), kBlack));
             EXPECT_FALSE(c.Has(kRed, 0, 0, 775, w.chart.m_rcPlot.bottom - 7));
         }},
        {"zero X extent: every point on the left edge",
         [](ChartWindow& w) {
             w.chart.SetRange(5, 5, 0, 100);
             w.Fill(40, 50.0);
         },
         [](ChartWindow& w, const Canvas& c) {
             const int left = w.chart.m_rcPlot.left;
             EXPECT_TRUE(MarkerIs(c, CPoint(left, w.At(0, 50).y), kRed));
             EXPECT_FALSE(c.Has(kWhite, left + 7, 0, 775, 125));
         }},
        {"no divisions: one line at each minimum, under the axes",
         [](ChartWindow& w) {
             w.chart.SetGrid(0, 0);
             w.Fill(40, 50.0);
         },
         [](ChartWindow& w, const Canvas& c) {
             w.chart.SetGrid(-1, -1);
             EXPECT_EQ(0, Differing(w.Paint()->Pixels(), c.Pixels()));
         }},
        {"as many divisions as an int counts: a line on every pixel, decades a double holds",
         [](ChartWindow& w) {
             w.chart.SetGrid(INT_MAX, INT_MAX);
             w.chart.m_bLogGrid = true;
             w.Fill(40, 95.0);
         },
         [](ChartWindow& w, const Canvas& c) {
             const chart::PixelRect& p = w.chart.m_rcPlot;
             const COLORREF kSubGrid = RGB(192, 192, 192);
             EXPECT_FALSE(c.Has(kBackground, p.left, p.top, p.right - 1, p.bottom - 1));
             EXPECT_TRUE(c.Has(kBlack, p.left, p.bottom + 4, p.right, 125)) << "thinned labels";
             EXPECT_TRUE(c.Has(kSubGrid, p.left + 2, p.bottom, p.right - 2, p.bottom));
             EXPECT_FALSE(c.Has(kSubGrid, p.left, p.top, p.right, p.bottom - 2));
         }},
        // As before the first point: a point that can never be added again
        // must not stay on as a dead receiver's marker.
        {"one point left after the storage shrank: nothing painted",
         [](ChartWindow& w) {
             w.Fill(40, 50.0);
             ASSERT_TRUE(w.chart.SetPointCount(1));
         },
         [](ChartWindow& w, const Canvas& c) { EXPECT_EQ(w.width * w.height, c.Count(kSentinel)); }},
        {"no point left: nothing painted",
         [](ChartWindow& w) {
             w.Fill(40, 50.0);
             ASSERT_TRUE(w.chart.SetPointCount(0));
         },
         [](ChartWindow& w, const Canvas& c) { EXPECT_EQ(w.width * w.height, c.Count(kSentinel)); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ChartWindow w;
        w.Configure(40);
        k.setUp(w);
        auto c = w.Paint();
        k.check(w, *c);
    }
}

TEST(ChartPaintTest, EverySelectionIsRestored) {
    ChartWindow w;
    w.Configure(40);
    w.chart.m_strTitle = "Title";
    w.chart.m_strYTitle = "Level";
    w.chart.m_bLogGrid = true;
    Canvas c(780, 130);
    const HDC dc = c.hdc();
    const UINT align = ::GetTextAlign(dc);
    const int mode = ::GetBkMode(dc);
    HGDIOBJ before[4];
    const UINT kinds[4] = {OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP};
    for (int k = 0; k < 4; ++k) before[k] = ::GetCurrentObject(dc, kinds[k]);

    for (int style : {0, 1}) {
        w.Fill(40, 10.0, style);
        w.chart.m_bRedrawStatic = true;
        w.chart.PaintTo(c.dc());
        // The drawing steps straight into the caller's DC.
        CDC* pDC = c.dc();
        w.chart.DrawBackground(pDC);
        w.chart.DrawAxes(pDC);
        w.chart.DrawGrid(pDC);
        w.chart.DrawLogGrid(pDC);
        w.chart.DrawLabels(pDC);
        w.chart.DrawTitle(pDC);
        w.chart.DrawSeries(pDC);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(before[k], ::GetCurrentObject(dc, kinds[k])) << k;
        EXPECT_EQ(align, ::GetTextAlign(dc));
        EXPECT_EQ(mode, ::GetBkMode(dc));
    }
    // The static layer's DC holds its bitmap and nothing else of ours.
    const HDC layer = w.chart.m_dcStatic.GetSafeHdc();
    EXPECT_EQ(w.chart.m_bmpStatic.GetSafeHandle(), ::GetCurrentObject(layer, OBJ_BITMAP));
    EXPECT_EQ(::GetStockObject(BLACK_PEN), ::GetCurrentObject(layer, OBJ_PEN));
    EXPECT_EQ(::GetStockObject(SYSTEM_FONT), ::GetCurrentObject(layer, OBJ_FONT));
}

TEST(ChartPaintTest, RealPaintAndPrintClientPaths) {
    ChartWindow w;
    ::ShowWindow(w.hwnd, SW_SHOWNOACTIVATE);
    w.Configure(40);
    w.Fill(40, 30.0);
    ASSERT_TRUE(w.chart.m_bRedrawStatic);
    ::InvalidateRect(w.hwnd, nullptr, FALSE);
    ::UpdateWindow(w.hwnd);  // WM_PAINT through the message map
    EXPECT_FALSE(w.chart.m_bRedrawStatic) << "the paint rebuilt the static layer";
    EXPECT_NE(nullptr, w.chart.m_dcStatic.GetSafeHdc());
    EXPECT_FALSE(::GetUpdateRect(w.hwnd, nullptr, FALSE));

    const std::vector<std::uint32_t> direct = w.Paint()->Pixels();
    Canvas printed(780, 130);
    ::SendMessageW(w.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.hdc()), PRF_CLIENT);
    EXPECT_TRUE(direct == printed.Pixels());
    EXPECT_EQ(kSentinel, printed.At(777, 127));

    Canvas captured(780, 130);
    ASSERT_TRUE(::PrintWindow(w.hwnd, captured.hdc(), PW_CLIENTONLY));
    EXPECT_EQ(kBackground, captured.At(5, 5));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), captured.At(777, 127)) << "erased strip";
}

TEST(ChartPaintTest, ResizeRebuildsTheLayerAtTheNewSize) {
    ChartWindow w;
    w.Configure(40);
    w.Fill(40, 30.0);
    w.Paint();
    ::MoveWindow(w.hwnd, 0, 0, 400, 100, FALSE);
    w.chart.Resize();
    EXPECT_EQ(398, w.chart.m_rcFrame.right);
    EXPECT_TRUE(w.chart.m_bRedrawStatic);
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectW(w.chart.m_bmpStatic.GetSafeHandle(), sizeof(bm), &bm));
    EXPECT_EQ(396, bm.bmWidth);
    EXPECT_EQ(96, bm.bmHeight);
    w.width = 400;
    w.height = 100;
    auto c = w.Paint();
    EXPECT_EQ(kBackground, c->At(395, 95));
    EXPECT_EQ(kSentinel, c->At(396, 50));
}

TEST(ChartPaintTest, ClearValuesZeroesAndRepaints) {
    ChartWindow w;
    ::ShowWindow(w.hwnd, SW_SHOWNOACTIVATE);
    w.chart.ClearValues();  // no storage yet: nothing to clear, no crash
    w.Configure(40);
    w.Fill(40, 70.0);
    w.Paint();
    w.chart.ClearValues();
    EXPECT_TRUE(w.chart.m_bRedrawStatic);
    auto c = w.Paint();
    EXPECT_TRUE(MarkerIs(*c, w.At(10, 0), kBlack));
    EXPECT_FALSE(c->Has(kWhite, 0, 0, 775, w.At(0, 20).y));
}

}  // namespace
