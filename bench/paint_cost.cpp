// Paint cost of the strip chart: one paint at 512 points against the two
// frame-sized BitBlts that every paint needs anyway, in the same run.
// Prints microseconds per paint and the ratio; run under Wine or Windows.
// Each case alternates with the baseline over several rounds and the medians
// are compared, so that both see the same load of a shared machine.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "chart/RealTimeChart.h"

namespace {

constexpr int kWidth = 780;
constexpr int kHeight = 130;
constexpr int kPoints = 512;

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Microseconds per call, repeated for about a tenth of a second after a
// warm-up; a call that alone takes longer than that is measured once.
double Measure(const std::function<void()>& fn) {
    double start = Now();
    fn();
    const double first = Now() - start;
    if (first > 0.1) return first * 1e6;
    for (int i = 1; i < 10; ++i) fn();
    int n = 0;
    start = Now();
    double elapsed = 0.0;
    do {
        for (int i = 0; i < 20; ++i) fn();
        n += 20;
        elapsed = Now() - start;
    } while (elapsed < 0.1);
    return elapsed * 1e6 / n;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Pair {
    double baseline;
    double subject;
};

// Medians of seven rounds (fewer for slow subjects), each measuring the
// baseline and then the subject.
Pair MeasureAgainst(const std::function<void()>& baseline, const std::function<void()>& subject, int nRounds = 7) {
    std::vector<double> b, s;
    for (int round = 0; round < nRounds; ++round) {
        b.push_back(Measure(baseline));
        s.push_back(Measure(subject));
    }
    return Pair{Median(b), Median(s)};
}

// The chart as the dialog feeds it: 512 receivers, a few dead and weak ones;
// levels spread over a third of the range, or (smooth) within a few percent
// of each other as a sound frame's are.
void Feed(CRealTimeChart& chart, int nSeries, int nStyle, bool bSmooth = false) {
    chart.SetRange(0, kPoints, 0, 100);
    chart.m_nSeriesCount = 3;
    chart.SetPointCount(kPoints);
    chart.SetAxisStyle(0);
    chart.SetGrid(2 * kPoints, 4);
    chart.m_nThresholdPercent = 50;
    chart.m_dAverageLevel = 2400.0;  // T = 1200: values below 30 are weak
    unsigned seed = 7;
    for (int i = 0; i < kPoints; ++i) {
        for (int s = 0; s < nSeries; ++s) {
            seed = seed * 1664525u + 1013904223u;
            const unsigned r = seed >> 16;
            const double level = bSmooth ? 68.0 + r % 5 : 55.0 + r % 30;
            const double v = (r % 61 == 0) ? 0.0 : (r % 13 == 0) ? 20.0 + r % 8 : level;
            chart.AddPoint(i, v, nSeries, s, nStyle);
        }
    }
}

// Every 16th point of every series far beyond the range, alternately above and
// below (as after the range was narrowed under stored points).
void MakeFarOut(CRealTimeChart& chart, int nSeries, double dFar) {
    for (int s = 0; s < nSeries; ++s)
        for (int i = 8; i < kPoints; i += 16) chart.m_aSeries[s].pY[i] = (i / 16) % 2 ? dFar : -dFar;
}

}  // namespace

// An argument runs only the cases whose name contains it ("1e12", "bar").
int main(int argc, char** argv) {
    const char* filter = argc > 1 ? argv[1] : nullptr;
    CRealTimeChart chart;  // registers the window class
    HWND hwnd = ::CreateWindowW(L"Realtime_Chart_Class", L"", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr || !chart.SubclassWindow(hwnd)) {
        std::printf("paint_cost: cannot create the chart window\n");
        return 1;
    }

    // The target stands for the window: a bitmap in the screen's format.
    HDC hScreen = ::GetDC(nullptr);
    CDC target;
    target.CreateCompatibleDC(nullptr);
    CBitmap bmpTarget;
    CDC screen;
    screen.Attach(hScreen);
    bmpTarget.CreateCompatibleBitmap(&screen, kWidth, kHeight);
    HGDIOBJ hOldTarget = target.SelectObject(&bmpTarget);

    // Baseline: the two frame-sized copies of a paint (layer -> temporary -> target).
    const int w = chart.m_rcFrame.Width(), h = chart.m_rcFrame.Height();
    CDC layer, temp;
    CBitmap bmpLayer, bmpTemp;
    layer.CreateCompatibleDC(&target);
    temp.CreateCompatibleDC(&target);
    bmpLayer.CreateCompatibleBitmap(&target, w, h);
    bmpTemp.CreateCompatibleBitmap(&target, w, h);
    HGDIOBJ hOldLayer = layer.SelectObject(&bmpLayer);
    HGDIOBJ hOldTemp = temp.SelectObject(&bmpTemp);
    const std::function<void()> blits = [&] {
        temp.BitBlt(0, 0, w, h, &layer, 0, 0, SRCCOPY);
        target.BitBlt(0, 0, w, h, &temp, 0, 0, SRCCOPY);
    };
    std::printf("baseline: two %dx%d BitBlts\n", w, h);

    struct Case {
        const char* name;
        int nSeries;
        int nStyle;
        bool bFast;
        bool bSmooth;
        double dFar;  // 0: every value in range
    } cases[] = {
        {"line, 1 series, stamped markers", 1, 0, true, false, 0.0},
        {"line, 1 series, smooth, stamped", 1, 0, true, true, 0.0},
        {"line, 1 series, Ellipse markers", 1, 0, false, false, 0.0},
        {"line, 3 series, stamped markers", 3, 0, true, false, 0.0},
        {"line, 3 series, Ellipse markers", 3, 0, false, false, 0.0},
        {"bar,  1 series", 1, 1, true, false, 0.0},
        {"line, 1 series, 32 at +-1e12", 1, 0, true, false, 1e12},
        {"line, 3 series, 96 at +-1e12", 3, 0, true, false, 1e12},
        {"line, 1 series, 32 at +-1e300", 1, 0, true, false, 1e300},
        {"bar,  1 series, 32 at +-1e12", 1, 1, true, false, 1e12},
    };
    for (const Case& c : cases) {
        if (filter != nullptr && std::strstr(c.name, filter) == nullptr) continue;
        Feed(chart, c.nSeries, c.nStyle, c.bSmooth);
        if (c.dFar != 0.0) MakeFarOut(chart, c.nSeries, c.dFar);
        chart.m_bFastMarkers = c.bFast;
        const Pair m = MeasureAgainst(
            blits, [&] { chart.PaintTo(&target); }, c.dFar != 0.0 ? 3 : 7);
        std::printf("paint %d points, %-32s %8.1f us vs baseline %5.1f us = %5.2f x\n", kPoints, c.name, m.subject,
                    m.baseline, m.subject / m.baseline);
    }

    // The window's own WM_PAINT path, for comparison (null driver or a display).
    if (filter == nullptr) {
        Feed(chart, 1, 0);
        chart.m_bFastMarkers = true;
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        const Pair m = MeasureAgainst(blits, [&] {
            ::InvalidateRect(hwnd, nullptr, FALSE);
            ::UpdateWindow(hwnd);
        });
        std::printf("WM_PAINT, 1 series, stamped markers:             %8.1f us vs baseline %5.1f us = %5.2f x\n",
                    m.subject, m.baseline, m.subject / m.baseline);
    }

    layer.SelectObject(hOldLayer);
    temp.SelectObject(hOldTemp);
    target.SelectObject(hOldTarget);
    screen.Detach();
    ::ReleaseDC(nullptr, hScreen);
    ::DestroyWindow(hwnd);
    return 0;
}
