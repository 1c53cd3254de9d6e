#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <tuple>

#include "scope/DumpRequest.h"
#include "scope/PacketEvaluation.h"
#include "scope/ScopeControls.h"

namespace scope {
void PrintTo(const AxisWindow& w, std::ostream* os) {
    *os << "{" << w.nStart << ", " << w.nEnd << ", " << w.nCount << "}";
}
}  // namespace scope

namespace {

using namespace scope;

struct Point {
    int x;
    double value;
    int nSeriesCount;
    int nSeries;
};

struct Recorder {
    std::vector<Point> points;
    void operator()(int x, double v, int count, int series) { points.push_back({x, v, count, series}); }
};

// A packet with a header that must never be charted, then the X and Y bytes.
std::vector<std::uint8_t> Packet(const std::vector<std::uint8_t>& x, const std::vector<std::uint8_t>& y) {
    std::vector<std::uint8_t> p(7, 0xEE);
    p.insert(p.end(), x.begin(), x.end());
    p.insert(p.end(), y.begin(), y.end());
    return p;
}

AxisWindow Window(int start, int count) { return AxisWindow{start, start + count, count}; }

const CaptureView kOff{};

TEST(PacketEvaluation, ChartsBytesAndAveragesNonZeroReceivers) {
    const auto bytes = Packet({0, 50, 100, 0}, {7});
    const PacketView packet{bytes.data(), 4, 1};
    Recorder rec;
    const AxisEvaluation r = EvaluateAxis(XAxisSource(packet, Window(0, 4)), DisplayScale{}, kOff, kOff, {}, rec);
    ASSERT_EQ(rec.points.size(), 4u);
    const double expected[] = {0, 50, 100, 0};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(rec.points[p].x, p);
        EXPECT_EQ(rec.points[p].value, expected[p]);
        EXPECT_EQ(rec.points[p].nSeriesCount, 1);
        EXPECT_EQ(rec.points[p].nSeries, 0);
    }
    EXPECT_EQ(r.nZeroCount, 2);
    EXPECT_EQ(r.dAverage, 3000.0);
    EXPECT_STREQ(r.text.sz, "3000.00");
    EXPECT_EQ(ReferenceLevel(SCOPE_MAXIMAL_IR, r.dAverage), 3000.0);
    EXPECT_EQ(ReferenceLevel(SCOPE_AMBIENT_IR, r.dAverage), 0.0);
}

TEST(PacketEvaluation, FilterScalesShownValuesButNotSamples) {
    const auto bytes = Packet({0, 50, 100, 0}, {});
    const PacketView packet{bytes.data(), 4, 0};
    std::vector<std::uint32_t> samples;
    Recorder rec;
    const AxisEvaluation r = EvaluateAxis(XAxisSource(packet, Window(0, 4)), DisplayScale{2.0, 3.0}, kOff, kOff,
                                          SampleTarget{&samples, 4}, rec);
    ASSERT_EQ(rec.points.size(), 4u);
    EXPECT_EQ(rec.points[0].value, 0.0);
    EXPECT_NEAR(rec.points[1].value, 33.333333, 1e-6);
    EXPECT_NEAR(rec.points[2].value, 66.666667, 1e-6);
    EXPECT_EQ(rec.points[3].value, 0.0);
    EXPECT_STREQ(r.text.sz, "2000.00");
    EXPECT_EQ(samples, (std::vector<std::uint32_t>{0, 2000, 4000, 0}));
}

TEST(PacketEvaluation, ModuleThreeOfSixteenCellAxisReadsOffsets39To54) {
    std::vector<std::uint8_t> x(64), y(20);
    for (int i = 0; i < 64; ++i) x[i] = static_cast<std::uint8_t>(100 + i);
    for (int j = 0; j < 20; ++j) y[j] = static_cast<std::uint8_t>(200 + j);
    const auto bytes = Packet(x, y);
    const PacketView packet{bytes.data(), 64, 20};
    const auto window = SelectionWindow(3, 64, 16, SplitAxis(64, 16));
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(*window, Window(32, 16));

    Recorder rec;
    EvaluateAxis(XAxisSource(packet, *window), DisplayScale{}, kOff, kOff, {}, rec);
    ASSERT_EQ(rec.points.size(), 16u);
    for (int p = 0; p < 16; ++p) {
        EXPECT_EQ(rec.points[p].x, p);
        EXPECT_EQ(rec.points[p].value, bytes[39 + p]);
    }

    // The Y axis starts right after the X receivers.
    Recorder recY;
    EvaluateAxis(YAxisSource(packet, Window(4, 3)), DisplayScale{}, kOff, kOff, {}, recY);
    ASSERT_EQ(recY.points.size(), 3u);
    EXPECT_EQ(recY.points[0].value, 204.0);
    EXPECT_EQ(recY.points[2].value, 206.0);
}

// (capture 1 on, capture 2 on) -> expected (value, nSeriesCount, nSeries) per receiver,
// with capture 1 holding 1000 + index, capture 2 2000 + index and a live byte of 9.
class CaptureSeries : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(CaptureSeries, OrderAndValuesFollowTheSeriesTable) {
    const bool on1 = std::get<0>(GetParam());
    const bool on2 = std::get<1>(GetParam());
    const std::size_t xt = 3;
    const auto bytes = Packet({9, 9, 9}, {9, 9});
    const PacketView packet{bytes.data(), xt, 2};
    std::vector<double> c1(1024), c2(1024);
    for (std::size_t i = 0; i < c1.size(); ++i) {
        c1[i] = 1000.0 + i;
        c2[i] = 2000.0 + i;
    }
    const CaptureView v1 = CaptureView::Of(on1 ? 2 : 1, c1);
    const CaptureView v2 = CaptureView::Of(on2 ? 2 : 1, c2);

    std::vector<Point> expected;
    const int n = 1 + on1 + on2;
    // Y receiver j = 1 sits at capture index XT + 1.
    const std::size_t index = xt + 1;
    if (on2) expected.push_back({0, 2000.0 + index, n, 0});
    if (on1) expected.push_back({0, 1000.0 + index, n, on2 ? 1 : 0});
    expected.push_back({0, 9.0, n, n - 1});

    Recorder rec;
    EvaluateAxis(YAxisSource(packet, Window(1, 1)), DisplayScale{}, v1, v2, {}, rec);
    ASSERT_EQ(rec.points.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(rec.points[k].x, expected[k].x) << k;
        EXPECT_EQ(rec.points[k].value, expected[k].value) << k;
        EXPECT_EQ(rec.points[k].nSeriesCount, expected[k].nSeriesCount) << k;
        EXPECT_EQ(rec.points[k].nSeries, expected[k].nSeries) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(AllFour, CaptureSeries, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

TEST(PacketEvaluation, CaptureFreezesOnceThenLiveFollows) {
    std::vector<double> capture;
    EnsureCaptureStorage(capture, 4, 2);
    capture[0] = -1.0;  // outside the X window: must keep its value
    int state = 1;
    std::uint8_t pending = 0;
    ToggleCapture(state, pending);

    const AxisWindow xw = Window(1, 3), yw = Window(0, 2);
    const auto first = Packet({5, 30, 60, 90}, {12, 15});
    const PacketView p1{first.data(), 4, 2};
    ASSERT_TRUE(TakePendingCapture(state, pending, capture, p1, xw, yw, DisplayScale{2.0, 3.0}));
    EXPECT_EQ(pending, 0);
    EXPECT_EQ(capture[0], -1.0);
    EXPECT_EQ(capture[1], 20.0);
    EXPECT_EQ(capture[3], 60.0);
    EXPECT_EQ(capture[4], 8.0);  // Y receiver 0 at XT + 0
    EXPECT_EQ(capture[5], 10.0);

    const auto second = Packet({5, 33, 66, 99}, {1, 1});
    const PacketView p2{second.data(), 4, 2};
    EXPECT_FALSE(TakePendingCapture(state, pending, capture, p2, xw, yw, DisplayScale{}));
    Recorder rec;
    EvaluateAxis(XAxisSource(p2, xw), DisplayScale{}, CaptureView::Of(state, capture), kOff, {}, rec);
    ASSERT_EQ(rec.points.size(), 6u);
    EXPECT_EQ(rec.points[0].value, 20.0);  // frozen
    EXPECT_EQ(rec.points[1].value, 33.0);  // live
    EXPECT_EQ(rec.points[4].value, 60.0);
    EXPECT_EQ(rec.points[5].value, 99.0);

    // A pending capture of a capture that is off is not taken.
    std::uint8_t stale = 1;
    EXPECT_FALSE(TakePendingCapture(1, stale, capture, p2, xw, yw, DisplayScale{}));
    EXPECT_EQ(stale, 1);
}

TEST(PacketEvaluation, NoNonZeroReceiverGivesZeroAverageNotADivision) {
    const auto bytes = Packet({0, 0, 0}, {});
    const PacketView packet{bytes.data(), 3, 0};
    Recorder rec;
    AxisEvaluation r = EvaluateAxis(XAxisSource(packet, Window(0, 3)), DisplayScale{}, kOff, kOff, {}, rec);
    EXPECT_EQ(r.nZeroCount, 3);
    EXPECT_EQ(r.dAverage, 0.0);
    EXPECT_STREQ(r.text.sz, "0.00");
    EXPECT_EQ(ReferenceLevel(SCOPE_MAXIMAL_IR, r.dAverage), 0.0);

    Recorder none;
    r = EvaluateAxis(XAxisSource(packet, Window(0, 0)), DisplayScale{}, kOff, kOff, {}, none);
    EXPECT_TRUE(none.points.empty());
    EXPECT_EQ(r.dAverage, 0.0);
    EXPECT_STREQ(r.text.sz, "0.00");
    EXPECT_FALSE(std::isnan(ReferenceLevel(SCOPE_RIGHT_TILT_MAXIMAL, r.dAverage)));
}

TEST(PacketEvaluation, SamplesStopAtTheWindowCount) {
    const auto bytes = Packet({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 100, 14}, {});
    const PacketView packet{bytes.data(), 14, 0};
    const AxisWindow w = Window(10, 4);
    std::vector<std::uint32_t> samples;
    Recorder rec;
    AxisEvaluation r = EvaluateAxis(XAxisSource(packet, w), DisplayScale{}, kOff, kOff, SampleTarget{&samples, 4}, rec);
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(r.nFirstNewSample, 0u);
    EXPECT_EQ(r.nNewSamples, 4u);
    // The trace names receiver nStart + k: receiver 12 with byte 100 is 4000.
    EXPECT_EQ(w.nStart + 2, 12);
    EXPECT_EQ(samples[2], 4000u);

    r = EvaluateAxis(XAxisSource(packet, w), DisplayScale{}, kOff, kOff, SampleTarget{&samples, 4}, rec);
    EXPECT_EQ(samples.size(), 4u);
    EXPECT_EQ(r.nNewSamples, 0u);

    // A partly filled buffer only takes what is missing, from the window's start.
    std::vector<std::uint32_t> partial{7, 7, 7};
    r = EvaluateAxis(XAxisSource(packet, w), DisplayScale{}, kOff, kOff, SampleTarget{&partial, 4}, rec);
    EXPECT_EQ(partial, (std::vector<std::uint32_t>{7, 7, 7, 440}));
    EXPECT_EQ(r.nFirstNewSample, 3u);
    EXPECT_EQ(r.nNewSamples, 1u);
}

TEST(PacketEvaluation, CapturesNeverWriteOrReadBeyondTheirStorage) {
    std::vector<std::uint8_t> x(700, 50), y(500, 60);
    const auto bytes = Packet(x, y);
    const PacketView packet{bytes.data(), 700, 500};

    // A frame of 1200 receivers grows the storage and keeps what was frozen before.
    std::vector<double> capture(kMinCaptureSize, 0.0);
    capture[10] = 3.5;
    EnsureCaptureStorage(capture, 700, 500);
    EXPECT_EQ(capture.size(), 1200u);
    EXPECT_EQ(capture[10], 3.5);
    EXPECT_EQ(FreezeCaptureWindow(capture, YAxisSource(packet, Window(0, 500)), DisplayScale{}), 0u);
    EXPECT_EQ(capture[1199], 60.0);
    EnsureCaptureStorage(capture, 10, 10);
    EXPECT_EQ(capture.size(), 1200u);

    // Storage smaller than the window: the part that fits is written, the rest refused.
    std::vector<double> small(710, -1.0);
    small.shrink_to_fit();
    EXPECT_EQ(FreezeCaptureWindow(small, YAxisSource(packet, Window(0, 20)), DisplayScale{}), 10u);
    EXPECT_EQ(small.size(), 710u);
    EXPECT_EQ(small[709], 60.0);
    EXPECT_EQ(small[699], -1.0);
    EXPECT_EQ(FreezeCaptureWindow(small, YAxisSource(packet, Window(100, 5)), DisplayScale{}), 5u);

    // Drawing a capture past its storage shows 0 instead of reading beyond it.
    Recorder rec;
    EvaluateAxis(YAxisSource(packet, Window(8, 4)), DisplayScale{}, CaptureView::Of(2, small), kOff, {}, rec);
    ASSERT_EQ(rec.points.size(), 8u);
    EXPECT_EQ(rec.points[0].value, 60.0);  // index 708
    EXPECT_EQ(rec.points[4].value, 0.0);   // index 710
}

TEST(PacketEvaluation, AverageTextIsFixedTwoDecimals) {
    EXPECT_STREQ(FormatAverage(0.0).sz, "0.00");
    EXPECT_STREQ(FormatAverage(2000.0 / 3.0).sz, "666.67");
    EXPECT_STREQ(FormatAverage(10200.0).sz, "10200.00");
    EXPECT_STREQ(FormatAverage(0.125).sz, "0.12");  // round half to even as printf does
    EXPECT_STREQ(FormatAverage(1e300).sz, "1e+300");
}

}  // namespace
