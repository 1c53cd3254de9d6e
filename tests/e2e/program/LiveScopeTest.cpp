// The live scope on the simulated frames: averages, marker colours, and the
// display controls, each with a screenshot.
#include "ProgramFixture.h"

#include <cstdlib>

using namespace lumagrid_e2e;

namespace {
// Where the chart draws receiver i of n at byte value v, in the main window's
// client coordinates: the plot lies 20 px inside the chart's left edge and
// 27 px inside its top and bottom, 12 px inside its right edge.
POINT ReceiverPixel(const RECT& chart, int i, int n, double v, double rangeMax) {
    const int plotLeft = chart.left + 20, plotRight = chart.right - 12;
    const int plotTop = chart.top + 27, plotBottom = chart.bottom - 27;
    const double xPerPixel = static_cast<double>(n) / (plotRight - plotLeft);
    const double yPerPixel = rangeMax / (plotBottom - plotTop);
    return POINT{static_cast<int>(i / xPerPixel) + plotLeft, plotBottom - static_cast<int>(v / yPerPixel)};
}

// Pixels of one colour within the marker's 10 x 10 box.
int CountAround(const e2e::Image& image, POINT centre, std::uint32_t rgb, int rows = 5) {
    int n = 0;
    for (int y = centre.y - 5; y <= centre.y + rows; ++y)
        for (int x = centre.x - 5; x <= centre.x + 5; ++x) n += image.pixel(x, y) == rgb ? 1 : 0;
    return n;
}

constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kYellow = 0xFFFF00;
constexpr std::uint32_t kMagenta = 0xFF00FF;

int CountColour(const e2e::Image& image, const RECT& area, std::uint32_t rgb) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += image.pixel(x, y) == rgb ? 1 : 0;
    return n;
}
}  // namespace

TEST_F(ProgramTest, AveragesAppearWithinASecondOfTheClick) {
    Start();
    SelectRow(0);  // returns about when the Ambient+IR request goes out
    const std::string x = WaitForText(kXAverage, 1000);
    const std::string y = WaitForText(kYAverage, 1000);
    ASSERT_FALSE(x.empty()) << "no average within a second of the request";
    // Ambient 8 + IR 62 = 70 per receiver, 2800 in signal units, noise +-3 bytes.
    EXPECT_NEAR(std::atof(x.c_str()), 2800.0, 200.0) << x;
    EXPECT_NEAR(std::atof(y.c_str()), 2800.0, 200.0) << y;
    Shot("scope-ambient-ir");
    Quit();
}

TEST_F(ProgramTest, MaximalIrMarksTheWeakReceiversBlueAndTheDeadOneBlack) {
    Start();
    SelectRow(0);  // 96 x 64: dead X 41, weak X 17 and Y 50
    ASSERT_TRUE(session.click(kMaximalIr));
    ::Sleep(1500);
    e2e::Image image;
    ASSERT_TRUE(Capture(image)) << session.lastError();
    RECT xChart, yChart;
    ASSERT_TRUE(session.controlRect(kXChart, xChart));
    ASSERT_TRUE(session.controlRect(kYChart, yChart));

    EXPECT_GT(CountAround(image, ReceiverPixel(xChart, 17, 96, 96 * 0.20, 100), kBlue), 8);
    EXPECT_GT(CountAround(image, ReceiverPixel(yChart, 50, 64, 96 * 0.25, 100), kBlue), 8);
    EXPECT_GT(CountAround(image, ReceiverPixel(xChart, 41, 96, 0, 100), kBlack, 0), 8);
    // A sound receiver keeps the series colour.
    EXPECT_EQ(CountAround(image, ReceiverPixel(xChart, 30, 96, 96, 100), kBlue), 0);
    EXPECT_GT(CountAround(image, ReceiverPixel(xChart, 30, 96, 96, 100), kRed), 8);
    Shot("scope-maximal-ir");
    Quit();
}

TEST_F(ProgramTest, BarCapturesFilterAndRangeChangeThePicture) {
    Start();
    SelectRow(0);
    RECT xChart;
    ASSERT_TRUE(session.controlRect(kXChart, xChart));
    ASSERT_TRUE(session.click(kMaximalIr));
    ::Sleep(1000);

    ASSERT_TRUE(session.click(kBar));
    EXPECT_EQ(session.text(kBar), "Ellipse");
    ::Sleep(800);
    Shot("scope-bar");
    e2e::Image bars;
    ASSERT_TRUE(Capture(bars));
    // Bars: the 0 value of the dead receiver gets a black bar, the weak one a red bar.
    EXPECT_EQ(CountAround(bars, ReceiverPixel(xChart, 30, 96, 96, 100), 0xFFFFFF), 0);  // no white marker fill
    ASSERT_TRUE(session.click(kBar));                                                   // style 2: markers again
    EXPECT_EQ(session.text(kBar), "Bar");

    // Capture 1 freezes Maximal IR, capture 2 freezes IR; Ambient runs live.
    ASSERT_TRUE(session.click(kCapture1));
    ::Sleep(600);
    ASSERT_TRUE(session.click(kIr));
    ::Sleep(1000);
    ASSERT_TRUE(session.click(kCapture2));
    ::Sleep(600);
    ASSERT_TRUE(session.click(kAmbient));
    ::Sleep(1000);
    e2e::Image captures;
    ASSERT_TRUE(Capture(captures));
    EXPECT_GT(CountColour(captures, xChart, kYellow), 100);
    EXPECT_GT(CountColour(captures, xChart, kMagenta), 100);
    Shot("scope-capture1-capture2");
    ASSERT_TRUE(session.click(kCapture1));
    ASSERT_TRUE(session.click(kCapture2));

    ASSERT_TRUE(session.click(kMaximalIr));
    ::Sleep(800);
    ASSERT_TRUE(session.click(kFilter));
    ::Sleep(1000);
    // Two thirds of 96 bytes: 64 * 40 = 2560, noise allowing.
    EXPECT_NEAR(std::atof(session.text(kXAverage).c_str()), 2560.0, 150.0);
    Shot("scope-filter");
    ASSERT_TRUE(session.click(kFilter));

    ASSERT_TRUE(session.setTrackbar(kRange, 50));
    ::Sleep(800);
    EXPECT_EQ(session.text(kRangeLabel), "x 50  (0 - 2047)");
    Shot("scope-range-50");
    Quit();
}
