// The packet path as the handler runs it (chart runs, shown-value table, block
// sums) against the plain reading: b * num / den per receiver, one AddPoint per
// point, values summed one by one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "chart/ChartModel.h"
#include "scope/PacketEvaluation.h"

namespace {

using namespace scope;

struct Reference {
    double dSum = 0.0;
    int nZeros = 0;
    std::vector<std::uint32_t> samples;
};

Reference EvaluateByHand(const AxisSource& source, DisplayScale scale, const CaptureView& c1, const CaptureView& c2,
                         std::size_t nSampleLimit, chart::ChartModel& model, int nStyle) {
    Reference ref;
    const AxisWindow& w = source.window;
    const int count = w.nStart >= 0 && w.nCount > 0 ? w.nCount : 0;
    const int seriesCount = 1 + c1.bOn + c2.bOn;
    for (int p = 0; p < count; ++p) {
        const unsigned b = source.pReceivers[w.nStart + p];
        const double v = b * scale.num / scale.den;
        const std::size_t index = source.nCaptureBase + w.nStart + p;
        if (b == 0) ++ref.nZeros;
        if (c2.bOn) model.AddPoint(p, c2.At(index), seriesCount, 0, nStyle);
        if (c1.bOn) model.AddPoint(p, c1.At(index), seriesCount, c2.bOn ? 1 : 0, nStyle);
        model.AddPoint(p, v, seriesCount, seriesCount - 1, nStyle);
        ref.dSum += v;
        if (ref.samples.size() < nSampleLimit) ref.samples.push_back(b * 40u);
    }
    return ref;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameChart(const chart::ChartModel& a, const chart::ChartModel& b) {
    EXPECT_EQ(a.m_nDrawSeries, b.m_nDrawSeries);
    EXPECT_EQ(a.m_nLastIndex, b.m_nLastIndex);
    EXPECT_EQ(a.m_nDrawStyle, b.m_nDrawStyle);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(a.m_aSeries[s].crColor, b.m_aSeries[s].crColor) << s;
        for (int i = 0; i < a.GetPointCount(); ++i) {
            ASSERT_TRUE(SameBits(a.m_aSeries[s].pX[i], b.m_aSeries[s].pX[i])) << s << " " << i;
            ASSERT_TRUE(SameBits(a.m_aSeries[s].pY[i], b.m_aSeries[s].pY[i])) << s << " " << i;
        }
    }
}

void Prepare(chart::ChartModel& model, int nPoints, double dXMax, double dYMax) {
    model.SetRange(0.0, dXMax, 0.0, dYMax);
    model.m_nSeriesCount = 3;
    model.SetPointCount(nPoints);
}

TEST(PacketFastPath, MatchesPlainEvaluationOnRandomPackets) {
    std::mt19937 rng(7);
    const DisplayScale scales[] = {{1.0, 1.0}, {2.0, 3.0}, {0.0, 0.0}, {4.0, 1.0}};
    for (int round = 0; round < 400; ++round) {
        const std::size_t xt = 1 + rng() % 600;
        const std::size_t yt = 1 + rng() % 600;
        std::vector<std::uint8_t> bytes(7 + xt + yt);
        const bool bDark = rng() % 8 == 0;
        for (auto& b : bytes) b = bDark ? 0 : static_cast<std::uint8_t>(rng() % 3 == 0 ? 0 : rng());
        const PacketView packet{bytes.data(), xt, yt};
        const bool bY = rng() % 2;
        const std::size_t axis = bY ? yt : xt;
        const int start = static_cast<int>(rng() % axis);
        const int count = rng() % 16 == 0 ? 0 : 1 + static_cast<int>(rng() % (axis - start));
        const AxisWindow window{start, start + count, count};
        const AxisSource source = bY ? YAxisSource(packet, window) : XAxisSource(packet, window);
        const DisplayScale scale = scales[round % 4];

        // Captures with gaps past their storage, one NaN now and then.
        std::vector<double> cap1(rng() % 2 ? 1400 : 300), cap2(1400);
        for (auto& v : cap1) v = (rng() % 3000) / 7.0;
        for (auto& v : cap2) v = rng() % 50 == 0 ? std::nan("") : (rng() % 3000) / 7.0 - 20.0;
        const CaptureView c1 = CaptureView::Of(rng() % 2 ? 2 : 1, cap1);
        const CaptureView c2 = CaptureView::Of(rng() % 2 ? 2 : 1, cap2);

        // Mostly the handler's chart set-up; sometimes a range narrower than the
        // window or a chart too small for it, which refuse or limit points.
        const int points = rng() % 8 == 0 ? 1 + static_cast<int>(rng() % 40) : std::max(count, 1);
        const double xMax = rng() % 8 == 0 ? count / 2.0 : count;
        const double yMax = 50.0 + rng() % 300;
        const int style = static_cast<int>(rng() % 3);
        chart::ChartModel fast, plain;
        Prepare(fast, points, xMax, yMax);
        Prepare(plain, points, xMax, yMax);

        std::vector<std::uint32_t> samples(rng() % 3);  // earlier samples stay in front
        const std::vector<std::uint32_t> earlier = samples;
        const std::size_t limit = rng() % 4 == 0 ? count / 2 : count;
        const bool bCollect = rng() % 2;
        const SampleTarget target = bCollect ? SampleTarget{&samples, limit} : SampleTarget{};

        const AxisEvaluation r = EvaluateAxis(source, scale, c1, c2, target, chart::PointFeed{fast, style});
        const Reference ref =
            EvaluateByHand(source, scale, c1, c2, limit > earlier.size() ? limit - earlier.size() : 0, plain, style);
        SCOPED_TRACE(testing::Message() << "round " << round);
        ExpectSameChart(fast, plain);
        EXPECT_EQ(r.nZeroCount, ref.nZeros);
        EXPECT_TRUE(SameBits(r.dSum, ref.dSum)) << r.dSum << " " << ref.dSum;
        const int nonZero = count - ref.nZeros;
        const double average = nonZero > 0 ? ref.dSum * 40.0 / nonZero : 0.0;
        EXPECT_TRUE(SameBits(r.dAverage, average));
        EXPECT_STREQ(r.text.sz, FormatAverage(average).sz);
        if (bCollect) {
            std::vector<std::uint32_t> expected = earlier;
            expected.insert(expected.end(), ref.samples.begin(), ref.samples.end());
            EXPECT_EQ(samples, expected);
            EXPECT_EQ(r.nFirstNewSample, earlier.size());
            EXPECT_EQ(r.nNewSamples, ref.samples.size());
        } else {
            EXPECT_EQ(samples, earlier);
        }
    }
}

// Sums taken in integers must equal the one-by-one double sum also where that
// sum is large; a step too big for exact sums falls back to adding doubles.
TEST(PacketFastPath, IntegerSumsOnlyWhereExact) {
    EXPECT_TRUE(ShownValueTable(DisplayScale{1.0, 1.0}).bIntegerSteps);
    EXPECT_TRUE(ShownValueTable(DisplayScale{-8.0, 2.0}).bIntegerSteps);
    EXPECT_FALSE(ShownValueTable(DisplayScale{2.0, 3.0}).bIntegerSteps);
    EXPECT_FALSE(ShownValueTable(DisplayScale{1e6, 1.0}).bIntegerSteps);
    EXPECT_FALSE(ShownValueTable(DisplayScale{0.0, 0.0}).bNoNaN);
    EXPECT_EQ(ShownValueTable(DisplayScale{2.0, 3.0}).adValue[50], 50 * 2.0 / 3.0);

    std::vector<std::uint8_t> bytes(7 + 100000, 255);
    const PacketView packet{bytes.data(), 100000, 0};
    for (const DisplayScale scale : {DisplayScale{1e6, 1.0}, DisplayScale{-8.0, 2.0}, DisplayScale{1.0, 1.0}}) {
        const AxisEvaluation r = EvaluateAxis(XAxisSource(packet, AxisWindow{0, 100000, 100000}), scale, {}, {}, {},
                                              [](int, double, int, int) {});
        double sum = 0.0;
        for (int p = 0; p < 100000; ++p) sum += 255u * scale.num / scale.den;
        EXPECT_TRUE(SameBits(r.dSum, sum)) << scale.num;
    }
}

// The charts live on from packet to packet, as the handler's do, while ranges, point
// counts, scales and stray points change in between: nothing the fast path keeps
// (limited values, x-values known to be written) may outlive what it was made from.
TEST(PacketFastPath, CachedStateFollowsChangesBetweenPackets) {
    std::mt19937 rng(11);
    const DisplayScale scales[] = {{1.0, 1.0}, {2.0, 3.0}, {4.0, 1.0}, {0.0, 0.0}};
    chart::ChartModel fast, plain;
    Prepare(fast, 300, 300, 255);
    Prepare(plain, 300, 300, 255);
    DisplayScale scale = scales[0];
    std::vector<std::uint8_t> bytes(7 + 600);
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        switch (rng() % 8) {
            case 0: {  // new y range, sometimes the same again
                const double yMax = rng() % 2 ? 255.0 : 20.0 + rng() % 200;
                const double xMax = rng() % 4 ? fast.m_dXMax : 50.0 + rng() % 300;
                const double yMin = rng() % 4 ? 0.0 : 10.0;
                for (chart::ChartModel* m : {&fast, &plain}) m->SetRange(0.0, xMax, yMin, yMax);
                break;
            }
            case 1:  // written straight into the members, as the dialog may
                fast.m_dYMax = plain.m_dYMax = 30.0 + rng() % 100;
                break;
            case 2: {  // stray points over the x-values a run wrote
                const int n = 1 + static_cast<int>(rng() % 5);
                for (int k = 0; k < n; ++k) {
                    const double x = (rng() % 3000) / 10.0;
                    const int series = static_cast<int>(rng() % 3);
                    fast.AddPoint(x, 42.0, 3, series, 0);
                    plain.AddPoint(x, 42.0, 3, series, 0);
                }
                break;
            }
            case 3: {  // new storage, or the same count again
                const int points = rng() % 2 ? fast.GetPointCount() : 100 + static_cast<int>(rng() % 300);
                fast.SetPointCount(points);
                plain.SetPointCount(points);
                break;
            }
            case 4: scale = scales[rng() % 4]; break;
            default: break;
        }
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
        const PacketView packet{bytes.data(), 300, 300};
        const int count = 1 + static_cast<int>(rng() % 300);
        const AxisSource source = XAxisSource(packet, AxisWindow{0, count, count});
        EvaluateAxis(source, scale, {}, {}, {}, chart::PointFeed{fast, 0});
        EvaluateByHand(source, scale, {}, {}, 0, plain, 0);
        ExpectSameChart(fast, plain);
        if (testing::Test::HasFatalFailure()) return;
    }
}

// The average text must be what "%.2f" gives, ties (x.125, x.375 ...) rounded to even.
TEST(PacketFastPath, AverageTextIsPrintfFixedTwo) {
    std::mt19937_64 rng(5);
    std::vector<double> values = {0.0,  -0.0,  0.005,  0.015,  0.125,        0.375,    0.625,          0.875,
                                  2.5,  1.995, 99.995, 0.0625, 0.06249999,   1e-300,   4294967295.995, 4294967296.0,
                                  1e15, 1e300, -3.125, -0.001, std::nan(""), HUGE_VAL, -HUGE_VAL};
    for (int i = 0; i < 200000; ++i) {
        switch (i % 4) {
            case 0:  // sums of shown values * 40 / receivers, as the averages are made
                values.push_back((rng() % 600000) * (i % 8 ? 1.0 : 2.0 / 3.0) * 40.0 / (1 + rng() % 600));
                break;
            case 1:  // exact eighths: the ties
                values.push_back(static_cast<double>(rng() % 100000) / 8.0);
                break;
            case 2: {
                double v;
                const std::uint64_t bits = rng();
                std::memcpy(&v, &bits, sizeof v);
                values.push_back(v);
                break;
            }
            default:
                values.push_back(std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 90)));
                break;
        }
    }
    for (const double v : values) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%.2f", v);
        if (std::strlen(expected) >= sizeof(AverageText{}.sz)) continue;  // shown in the short form instead
        ASSERT_STREQ(FormatAverage(v).sz, expected) << v;
    }
}

}  // namespace
