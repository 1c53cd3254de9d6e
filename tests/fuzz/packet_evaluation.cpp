// The dump processing's view of a session: frames of any geometry are selected,
// modules pressed, Filter and the captures toggled, samples collected, and every
// packet is exactly 7 + XT + YT bytes on the heap, so a read past it is caught.
// Each packet is evaluated as the dialog does it and checked against a naive
// recomputation: points, zero counts, sums, averages and their text, samples
// and frozen captures; the windows the module buttons give stay on their axis.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "scope/AxisModules.h"
#include "scope/PacketEvaluation.h"
#include "scope/ScopeControls.h"

using namespace scope;

namespace {

double Shown(std::uint8_t b, DisplayScale scale) { return b * scale.num / scale.den; }

// The points one axis window must give, checked as they arrive: per receiver
// the series in ascending order (calls), or per series the receivers (runs).
struct Expected {
    const std::uint8_t* pBytes;  // receiver 0 of the window
    int nCount;
    CaptureView c1, c2;
    std::size_t nCaptureIndex;  // of receiver 0 of the window
    DisplayScale scale;
    bool bRuns;
    std::size_t nSeen = 0;

    int SeriesCount() const { return 1 + c1.bOn + c2.bOn; }
    double Value(int p, int series) const {
        const auto at = [](const CaptureView& c, std::size_t i) { return i < c.nSize ? c.pValues[i] : 0.0; };
        const std::size_t i = nCaptureIndex + static_cast<std::size_t>(p);
        if (series == SeriesCount() - 1) return Shown(pBytes[p], scale);
        if (c2.bOn && series == 0) return at(c2, i);
        return at(c1, i);
    }
    void Take(int x, double value, int seriesCount, int series) {
        const int n = SeriesCount();
        FUZZ_REQUIRE(nSeen < static_cast<std::size_t>(nCount) * n);
        const int p = bRuns ? static_cast<int>(nSeen % nCount) : static_cast<int>(nSeen / n);
        const int s = bRuns ? static_cast<int>(nSeen / nCount) : static_cast<int>(nSeen % n);
        FUZZ_REQUIRE(x == p && series == s && seriesCount == n);
        FUZZ_REQUIRE(fuzz::SameDouble(value, Value(p, s)));
        ++nSeen;
    }
    bool Complete() const { return nSeen == static_cast<std::size_t>(nCount) * SeriesCount(); }
};

struct CallSink {
    Expected* pExpected;
    void operator()(int x, double v, int count, int series) { pExpected->Take(x, v, count, series); }
};

struct RunSink {
    static constexpr bool kTakesRuns = true;
    Expected* pExpected;
    template <typename ValueAt>
    void Run(int count, int seriesCount, int series, ValueAt valueAt, bool bNeverNaN) {
        FUZZ_REQUIRE(count == pExpected->nCount);
        for (int p = 0; p < count; ++p) {
            const double v = valueAt(p);
            FUZZ_REQUIRE(!bNeverNaN || !std::isnan(v));
            pExpected->Take(p, v, seriesCount, series);
        }
    }
};

// Equal table ids promise equal tables: the last one seen is kept to hold them to it.
struct TableSink : RunSink {
    static constexpr bool kTakesTableRuns = true;
    void TableRun(int count, int seriesCount, int series, const std::uint8_t* bytes, const double* values,
                  std::uint64_t nTableId, bool bNoNaN) {
        static std::uint64_t s_nLastId = 0;
        static std::array<double, 256> s_lastValues;
        if (nTableId == s_nLastId)
            for (int b = 0; b < 256; ++b) FUZZ_REQUIRE(fuzz::SameDouble(values[b], s_lastValues[b]));
        s_nLastId = nTableId;
        std::copy(values, values + 256, s_lastValues.begin());
        for (int b = 0; b < 256; ++b) FUZZ_REQUIRE(!bNoNaN || !std::isnan(values[b]));
        FUZZ_REQUIRE(count == pExpected->nCount);
        for (int p = 0; p < count; ++p) pExpected->Take(p, values[bytes[p]], seriesCount, series);
    }
};

// What the dialog holds between packets.
struct Session {
    std::size_t nXT = 0, nYT = 0;
    unsigned nXModuleCell = 0, nYModuleCell = 0;
    std::vector<unsigned> xModules, yModules;
    int nXSel = 0, nYSel = 0;
    AxisWindow xWindow, yWindow;
    DisplayScale scale{};
    int nCapture1State = 1, nCapture2State = 1;
    std::uint8_t byCapture1Pending = 0, byCapture2Pending = 0;
    std::vector<double> capture1, capture2;
    bool bCollect = false;
    std::vector<std::uint32_t> xSamples, ySamples;
};

// Mostly small counts, now and then any a 16-bit field can hold.
unsigned Count(FuzzedDataProvider& in) {
    const std::uint8_t b = in.ConsumeIntegral<std::uint8_t>();
    return b >= 254 ? in.ConsumeIntegral<std::uint16_t>() : b * 2u;
}

void CheckDialogWindow(const AxisWindow& w, std::size_t nAxis) {
    FUZZ_REQUIRE(w.nStart >= 0 && w.nCount >= 0 && w.nEnd == w.nStart + w.nCount);
    FUZZ_REQUIRE(static_cast<std::size_t>(w.nEnd) <= nAxis);
}

// A module button of one axis, as OnXModule/OnYModule press it.
void PressModule(int k, std::size_t nAxis, unsigned nModuleCell, const std::vector<unsigned>& modules, int& nSel,
                 AxisWindow& window) {
    if (k > 0 && static_cast<int>(modules.size()) < k) return;
    nSel = k;
    if (const auto w = SelectionWindow(nSel, static_cast<unsigned>(nAxis), nModuleCell, modules)) {
        CheckDialogWindow(*w, nAxis);
        window = *w;
    }
}

// Any window that stays on the axis, or one of those the evaluation must take as empty.
AxisWindow AnyWindow(FuzzedDataProvider& in, std::size_t nAxis) {
    if (in.ConsumeBool()) {
        const int start = in.ConsumeIntegral<int>();
        const int count = start >= 0 ? in.ConsumeIntegralInRange(INT_MIN, 0) : in.ConsumeIntegral<int>();
        return AxisWindow{start, static_cast<int>(static_cast<unsigned>(start) + static_cast<unsigned>(count)), count};
    }
    const int start = in.ConsumeIntegralInRange<int>(0, static_cast<int>(nAxis));
    const int count = in.ConsumeIntegralInRange<int>(0, static_cast<int>(nAxis) - start);
    return AxisWindow{start, start + count, count};
}

DisplayScale AnyScale(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return DisplayScale{1.0, 1.0};
        case 1: return DisplayScale{2.0, 3.0};
        case 2:
            return DisplayScale{static_cast<double>(in.ConsumeIntegralInRange(-9000, 9000)),
                                static_cast<double>(in.ConsumeIntegralInRange(-3, 3))};
        default: {
            double v[2];
            for (double& d : v) {
                const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
                std::memcpy(&d, &bits, sizeof d);
            }
            return DisplayScale{v[0], v[1]};
        }
    }
}

void CheckAverageText(const AxisEvaluation& r) {
    char expected[400];
    const int n = std::snprintf(expected, sizeof expected, "%.2f", r.dAverage);
    if (std::isfinite(r.dAverage) && n < static_cast<int>(sizeof r.text.sz)) {
        FUZZ_REQUIRE(std::strcmp(r.text.sz, expected) == 0);
    }
    FUZZ_REQUIRE(std::strlen(r.text.sz) < sizeof r.text.sz);
}

// One axis of a packet, evaluated as the dialog does and recomputed naively.
enum class Feed { kCalls, kRuns, kTableRuns };

void EvaluateAndCheck(const Session& s, const AxisSource& source, std::size_t nAxis, const CaptureView& c1,
                      const CaptureView& c2, std::vector<std::uint32_t>* pSamples, Feed feed) {
    const AxisWindow& w = source.window;
    const int count = (w.nStart >= 0 && w.nCount > 0) ? w.nCount : 0;
    const std::size_t start = count ? static_cast<std::size_t>(w.nStart) : 0;
    FUZZ_REQUIRE(count == 0 || start + static_cast<std::size_t>(count) <= nAxis);  // the caller's promise
    const std::uint8_t* bytes = source.pReceivers + start;

    // The naive recomputation, one receiver after the other.
    double sum = 0.0;
    int zeros = 0;
    for (int p = 0; p < count; ++p) {
        sum += Shown(bytes[p], s.scale);
        zeros += bytes[p] == 0;
    }
    const double average = count - zeros > 0 ? sum * kSignalPerByte / (count - zeros) : 0.0;

    const std::vector<std::uint32_t> before = pSamples ? *pSamples : std::vector<std::uint32_t>{};
    const std::size_t limit = static_cast<std::size_t>(w.nCount);  // as the dialog sets it
    const SampleTarget target{pSamples, limit};
    Expected expected{bytes, count, c1, c2, source.nCaptureBase + start, s.scale, feed != Feed::kCalls};
    AxisEvaluation r;
    if (feed == Feed::kCalls) r = EvaluateAxis(source, s.scale, c1, c2, target, CallSink{&expected});
    else if (feed == Feed::kRuns) r = EvaluateAxis(source, s.scale, c1, c2, target, RunSink{&expected});
    else r = EvaluateAxis(source, s.scale, c1, c2, target, TableSink{{&expected}});
    FUZZ_REQUIRE(expected.Complete());
    FUZZ_REQUIRE(r.nZeroCount == zeros);
    FUZZ_REQUIRE(fuzz::SameDouble(r.dSum, sum));
    FUZZ_REQUIRE(fuzz::SameDouble(r.dAverage, average));
    CheckAverageText(r);

    if (!pSamples) {
        FUZZ_REQUIRE(r.nNewSamples == 0);
        return;
    }
    const std::size_t expectNew =
        before.size() >= limit ? 0 : std::min(static_cast<std::size_t>(count), limit - before.size());
    FUZZ_REQUIRE(r.nFirstNewSample == before.size());
    FUZZ_REQUIRE(r.nNewSamples == expectNew);
    FUZZ_REQUIRE(pSamples->size() == before.size() + expectNew);
    FUZZ_REQUIRE(std::equal(before.begin(), before.end(), pSamples->begin()));
    for (std::size_t k = 0; k < expectNew; ++k) FUZZ_REQUIRE((*pSamples)[before.size() + k] == bytes[k] * 40u);
}

// A pending capture freezes both windows' shown values and touches nothing else.
void CaptureAndCheck(int nState, std::uint8_t& byPending, std::vector<double>& capture, const PacketView& packet,
                     const Session& s) {
    const bool bPending = nState == 2 && byPending == 1;
    const std::vector<double> before = bPending ? capture : std::vector<double>{};
    FUZZ_REQUIRE(TakePendingCapture(nState, byPending, capture, packet, s.xWindow, s.yWindow, s.scale) == bPending);
    if (bPending) {
        FUZZ_REQUIRE(byPending == 0 && capture.size() == before.size());
        std::vector<double> expected = before;
        const AxisSource sources[] = {XAxisSource(packet, s.xWindow), YAxisSource(packet, s.yWindow)};
        for (const AxisSource& src : sources) {
            if (src.window.nStart < 0 || src.window.nCount <= 0) continue;
            for (int p = 0; p < src.window.nCount; ++p) {
                const std::size_t i = src.nCaptureBase + static_cast<std::size_t>(src.window.nStart) + p;
                if (i < expected.size()) expected[i] = Shown(src.pReceivers[src.window.nStart + p], s.scale);
            }
        }
        for (std::size_t i = 0; i < capture.size(); ++i) FUZZ_REQUIRE(fuzz::SameDouble(capture[i], expected[i]));
    }
}

void ReadDump(Session& s, FuzzedDataProvider& in) {
    const std::size_t size = 7 + s.nXT + s.nYT;
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
    const std::uint8_t fill = in.ConsumeIntegral<std::uint8_t>();
    const std::vector<std::uint8_t> given =
        in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, size));
    for (std::size_t i = 0; i < size; ++i)
        buffer[i] = i < given.size() ? given[i] : static_cast<std::uint8_t>(fill & 0x80 ? fill : (i * fill) >> 3);
    const PacketView packet{buffer.get(), s.nXT, s.nYT};

    for (std::vector<double>* capture : {&s.capture1, &s.capture2}) {
        const std::size_t before = capture->size();
        EnsureCaptureStorage(*capture, packet.nXT, packet.nYT);
        FUZZ_REQUIRE(capture->size() == std::max({kMinCaptureSize, s.nXT + s.nYT, before}));
    }
    CaptureAndCheck(s.nCapture1State, s.byCapture1Pending, s.capture1, packet, s);
    CaptureAndCheck(s.nCapture2State, s.byCapture2Pending, s.capture2, packet, s);
    const CaptureView c1 = CaptureView::Of(s.nCapture1State, s.capture1);
    const CaptureView c2 = CaptureView::Of(s.nCapture2State, s.capture2);

    // Any of the three kinds of sink; the chart's own feed takes table runs.
    const Feed feed = static_cast<Feed>(in.ConsumeIntegralInRange(0, 2));
    EvaluateAndCheck(s, XAxisSource(packet, s.xWindow), s.nXT, c1, c2, s.bCollect ? &s.xSamples : nullptr, feed);
    EvaluateAndCheck(s, YAxisSource(packet, s.yWindow), s.nYT, c1, c2, s.bCollect ? &s.ySamples : nullptr, feed);

    // Full buffers go to the LED check or the daily save, which empty them.
    if (s.xSamples.size() >= static_cast<std::size_t>(std::max(s.xWindow.nCount, 0)) &&
        s.ySamples.size() >= static_cast<std::size_t>(std::max(s.yWindow.nCount, 0)) && in.ConsumeBool()) {
        s.xSamples.clear();
        s.ySamples.clear();
    }
}

// A frame selected in the list, or measured by the daily save (which keeps the
// module sizes of the frame before, as that path does not set them up anew).
void SelectFrame(Session& s, FuzzedDataProvider& in) {
    s.nXT = Count(in);
    s.nYT = Count(in);
    s.nXModuleCell = in.ConsumeBool() ? 0 : Count(in) & 0xFFFF;
    s.nYModuleCell = in.ConsumeBool() ? 0 : Count(in) & 0xFFFF;
    if (in.ConsumeBool()) {
        quorvane::FrameSettings frame{};
        frame.m_nXTCount = static_cast<std::uint16_t>(s.nXT);
        frame.m_nYTCount = static_cast<std::uint16_t>(s.nYT);
        frame.X_MODULE_CELL = static_cast<std::uint16_t>(s.nXModuleCell);
        frame.Y_MODULE_CELL = static_cast<std::uint16_t>(s.nYModuleCell);
        AxisModules modules = SplitAxes(frame);
        s.xModules = std::move(modules.x);
        s.yModules = std::move(modules.y);
        for (const auto* axis : {&s.xModules, &s.yModules}) {
            std::size_t cells = 0;
            for (const unsigned m : *axis) cells += m;
            FUZZ_REQUIRE(axis->empty() || cells == (axis == &s.xModules ? s.nXT : s.nYT));
        }
    }
    s.xSamples.clear();
    s.ySamples.clear();
    PressModule(0, s.nXT, s.nXModuleCell, s.xModules, s.nXSel, s.xWindow);
    PressModule(0, s.nYT, s.nYModuleCell, s.yModules, s.nYSel, s.yWindow);
}

// The range read-out for any position parses back to what it stands for.
void CheckRangeLabel(FuzzedDataProvider& in) {
    const int range = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 100) : in.ConsumeIntegral<int>();
    const std::string label = RangeLabelText(range);
    long long shown = 0, top = 0;
    int used = 0;
    FUZZ_REQUIRE(std::sscanf(label.c_str(), "x%lld  (0 - %lld)%n", &shown, &top, &used) == 2);
    FUZZ_REQUIRE(used == static_cast<int>(label.size()));
    FUZZ_REQUIRE(shown == 100LL - range && top == static_cast<long long>(range) * 4095 / 100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Session s;
    SelectFrame(s, in);
    // Big frames take few packets, so that every input runs in milliseconds.
    std::size_t receiversLeft = 4000;
    for (int step = 0; step < 24 && in.remaining_bytes() > 0 && receiversLeft > s.nXT + s.nYT; ++step) {
        switch (in.ConsumeIntegralInRange(0, 12)) {
            case 0: SelectFrame(s, in); break;
            case 1:
                PressModule(in.ConsumeIntegralInRange(0, kMaxModuleButtons), s.nXT, s.nXModuleCell, s.xModules, s.nXSel,
                            s.xWindow);
                break;
            case 2:
                PressModule(in.ConsumeIntegralInRange(0, kMaxModuleButtons), s.nYT, s.nYModuleCell, s.yModules, s.nYSel,
                            s.yWindow);
                break;
            case 3: s.scale = ToggleFilter(s.scale); break;
            case 4: s.scale = AnyScale(in); break;
            case 5: ToggleCapture(s.nCapture1State, s.byCapture1Pending); break;
            case 6: ToggleCapture(s.nCapture2State, s.byCapture2Pending); break;
            case 7:
                s.bCollect = in.ConsumeBool();
                s.xSamples.clear();
                s.ySamples.clear();
                break;
            case 8:
                // Windows the dialog never makes, within what the evaluation promises to take.
                if (in.ConsumeBool()) s.xWindow = AnyWindow(in, s.nXT);
                else s.yWindow = AnyWindow(in, s.nYT);
                break;
            case 9: CheckRangeLabel(in); break;
            default:
                ReadDump(s, in);
                receiversLeft -= s.nXT + s.nYT;
                break;
        }
    }
    ReadDump(s, in);
    return 0;
}
