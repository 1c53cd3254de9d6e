// One pass over a dump packet: chart points, zero count, average, report samples
// and the captures frozen from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "link/QuorvaneTypes.h"
#include "scope/AxisModules.h"

namespace scope {

// Shown value of a receiver byte b: b * num / den ("Filter" toggles 1/1 and 2/3).
struct DisplayScale {
    double num = 1.0;
    double den = 1.0;
};

// The shown value of every byte under one scale, each computed as b * num / den.
struct ShownValues {
    double adValue[256];
    // Every value is nStep * b exactly, with nStep small enough that any sum of
    // them is an exact integer in a double: sums may then be taken in integers.
    bool bIntegerSteps = false;
    std::int64_t nStep = 0;
    bool bNoNaN = false;
    std::uint64_t nId = 0;  // different for every table made, in every thread
};
// The table of the scale; the last one is kept, so repeated packets cost nothing.
const ShownValues& ShownValueTable(DisplayScale scale);

// A receiver byte b stands for the signal level b * 40.
constexpr double kSignalPerByte = 40.0;

// The receiver bytes of the frame selected last, over a packet the library
// guarantees to hold at least 7 + XT + YT bytes.
struct PacketView {
    const std::uint8_t* pBytes = nullptr;  // packet start, header included
    std::size_t nXT = 0;
    std::size_t nYT = 0;
    const std::uint8_t* XReceivers() const { return pBytes + quorvane::XReceiverOffset(0); }
    const std::uint8_t* YReceivers() const { return pBytes + quorvane::YReceiverOffset(nXT, 0); }
};

// One axis window of a packet. Captures index X receiver i at i and Y receiver j at XT + j.
struct AxisSource {
    const std::uint8_t* pReceivers = nullptr;  // receiver 0 of the axis
    AxisWindow window;
    std::size_t nCaptureBase = 0;
};
inline AxisSource XAxisSource(const PacketView& packet, const AxisWindow& window) {
    return AxisSource{packet.XReceivers(), window, 0};
}
inline AxisSource YAxisSource(const PacketView& packet, const AxisWindow& window) {
    return AxisSource{packet.YReceivers(), window, packet.nXT};
}

// Capture storage covers every receiver of the frame. It only grows, so values
// frozen earlier stay where they were, as with the fixed 1024 of old.
constexpr std::size_t kMinCaptureSize = 1024;
void EnsureCaptureStorage(std::vector<double>& capture, std::size_t nXT, std::size_t nYT);

// Freezes the shown values of the window into the capture; other indices keep their
// values. Indices beyond the storage are not written; returns how many were refused.
std::size_t FreezeCaptureWindow(std::vector<double>& capture, const AxisSource& source, DisplayScale scale);

// The capture step of a packet: when the capture is on (state 2) and pending, freezes
// both windows and clears the pending flag. Returns true when it took the capture.
bool TakePendingCapture(int nState, std::uint8_t& byPending, std::vector<double>& capture, const PacketView& packet,
                        const AxisWindow& xWindow, const AxisWindow& yWindow, DisplayScale scale);

// A capture as drawn: on (state 2) or off, and its storage.
struct CaptureView {
    bool bOn = false;
    const double* pValues = nullptr;
    std::size_t nSize = 0;
    static CaptureView Of(int nState, const std::vector<double>& capture) {
        return CaptureView{nState == 2, capture.data(), capture.size()};
    }
    double At(std::size_t index) const { return index < nSize ? pValues[index] : 0.0; }
};

// Where report samples go while a consumer waits; pSamples null = not collecting.
struct SampleTarget {
    std::vector<std::uint32_t>* pSamples = nullptr;
    std::size_t nLimit = 0;  // the window's nCount: the buffer is full then
};

// "%.2f" of a value, independent of the C locale.
struct AverageText {
    char sz[32];
};
AverageText FormatAverage(double dValue);

struct AxisEvaluation {
    int nZeroCount = 0;
    double dSum = 0.0;      // sum of the shown values
    double dAverage = 0.0;  // dSum * 40 / non-zero receivers; 0 when there are none
    AverageText text{};     // dAverage as "%.2f"
    // Samples appended by this packet: entries [nFirstNewSample, + nNewSamples) of the
    // buffer, for receivers nStart, nStart + 1, ... of the window (for the X trace).
    std::size_t nFirstNewSample = 0;
    std::size_t nNewSamples = 0;
};

namespace detail {
void AppendSamples(const std::uint8_t* pBytes, std::size_t nCount, SampleTarget target, AxisEvaluation& result);
void FinishAverage(std::size_t nCount, AxisEvaluation& result);
// Zero count and sum of the shown values, summed in receiver order.
void SumShownValues(const std::uint8_t* pBytes, std::size_t nCount, const ShownValues& shown, AxisEvaluation& result);

template <typename Sink, typename = void>
struct TakesTableRuns : std::false_type {};
template <typename Sink>
struct TakesTableRuns<Sink, std::void_t<decltype(std::decay_t<Sink>::kTakesTableRuns)>>
    : std::bool_constant<std::decay_t<Sink>::kTakesTableRuns> {};

template <typename Sink, typename = void>
struct TakesRuns : std::false_type {};
template <typename Sink>
struct TakesRuns<Sink, std::void_t<decltype(std::decay_t<Sink>::kTakesRuns)>>
    : std::bool_constant<std::decay_t<Sink>::kTakesRuns> {};
}  // namespace detail

// Evaluates one axis window in one pass. For every receiver p of the window (x = p,
// from 0) the sink gets sink(int x, double value, int nSeriesCount, int nSeries):
//   no capture          (v,1,0)
//   capture 1 only      (c1,2,0) (v,2,1)
//   capture 2 only      (c2,2,0) (v,2,1)
//   both                (c2,3,0) (c1,3,1) (v,3,2)
//
// A sink with kTakesRuns instead gets, per series, sink.Run(nCount, nSeriesCount, nSeries,
// valueAt, bNeverNaN) standing for the calls sink(p, valueAt(p), nSeriesCount, nSeries),
// p = 0, 1, ...; the series come in the order above, the points of one series in order.
// bNeverNaN tells that valueAt returns no NaN. A sink that also has kTakesTableRuns gets
// the receivers' series as sink.TableRun(nCount, nSeriesCount, nSeries, bytes, values,
// nTableId, bNoNaN) instead, standing for valueAt(p) = values[bytes[p]] (256 values;
// equal nTableId, equal values).
template <typename Sink>
AxisEvaluation EvaluateAxis(const AxisSource& source, DisplayScale scale, const CaptureView& capture1,
                            const CaptureView& capture2, SampleTarget samples, Sink&& sink) {
    AxisEvaluation result;
    const int count = (source.window.nStart >= 0 && source.window.nCount > 0) ? source.window.nCount : 0;
    const std::uint8_t* bytes = source.pReceivers + (count ? source.window.nStart : 0);
    const std::size_t captureIndex = source.nCaptureBase + static_cast<std::size_t>(count ? source.window.nStart : 0);
    const int seriesCount = 1 + (capture1.bOn ? 1 : 0) + (capture2.bOn ? 1 : 0);
    const int capture1Series = capture2.bOn ? 1 : 0;
    const ShownValues& shown = ShownValueTable(scale);
    const double* const value = shown.adValue;
    if constexpr (detail::TakesRuns<Sink>::value) {
        if (capture2.bOn)
            sink.Run(
                count, seriesCount, 0, [&](int p) { return capture2.At(captureIndex + p); }, false);
        if (capture1.bOn)
            sink.Run(
                count, seriesCount, capture1Series, [&](int p) { return capture1.At(captureIndex + p); }, false);
        if constexpr (detail::TakesTableRuns<Sink>::value)
            sink.TableRun(count, seriesCount, seriesCount - 1, bytes, value, shown.nId, shown.bNoNaN);
        else
            sink.Run(
                count, seriesCount, seriesCount - 1, [&](int p) { return value[bytes[p]]; }, shown.bNoNaN);
    } else {
        for (int p = 0; p < count; ++p) {
            if (capture2.bOn) sink(p, capture2.At(captureIndex + p), seriesCount, 0);
            if (capture1.bOn) sink(p, capture1.At(captureIndex + p), seriesCount, capture1Series);
            sink(p, value[bytes[p]], seriesCount, seriesCount - 1);
        }
    }
    detail::SumShownValues(bytes, static_cast<std::size_t>(count), shown, result);
    if (samples.pSamples) detail::AppendSamples(bytes, static_cast<std::size_t>(count), samples, result);
    detail::FinishAverage(static_cast<std::size_t>(count), result);
    return result;
}

}  // namespace scope
