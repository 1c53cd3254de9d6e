#include "scope/PacketEvaluation.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace scope {

void EnsureCaptureStorage(std::vector<double>& capture, std::size_t nXT, std::size_t nYT) {
    const std::size_t needed = std::max(kMinCaptureSize, nXT + nYT);
    if (capture.size() < needed) capture.resize(needed, 0.0);
}

std::size_t FreezeCaptureWindow(std::vector<double>& capture, const AxisSource& source,
                                DisplayScale scale) {
    const AxisWindow& w = source.window;
    if (w.nStart < 0 || w.nCount <= 0) return 0;
    const std::size_t first = source.nCaptureBase + static_cast<std::size_t>(w.nStart);
    const std::size_t count = static_cast<std::size_t>(w.nCount);
    const std::size_t fits = first >= capture.size() ? 0 : std::min(count, capture.size() - first);
    const std::uint8_t* bytes = source.pReceivers + w.nStart;
    for (std::size_t p = 0; p < fits; ++p) capture[first + p] = bytes[p] * scale.num / scale.den;
    return count - fits;
}

bool TakePendingCapture(int nState, std::uint8_t& byPending, std::vector<double>& capture,
                        const PacketView& packet, const AxisWindow& xWindow,
                        const AxisWindow& yWindow, DisplayScale scale) {
    if (nState != 2 || byPending != 1) return false;
    FreezeCaptureWindow(capture, XAxisSource(packet, xWindow), scale);
    FreezeCaptureWindow(capture, YAxisSource(packet, yWindow), scale);
    byPending = 0;
    return true;
}

AverageText FormatAverage(double dValue) {
    AverageText text;
    char* const end = text.sz + sizeof(text.sz) - 1;
    auto r = std::to_chars(text.sz, end, dValue, std::chars_format::fixed, 2);
    if (r.ec != std::errc()) {
        // Only absurd magnitudes do not fit; show them in the shortest exact form.
        r = std::to_chars(text.sz, end, dValue, std::chars_format::general);
        if (r.ec != std::errc()) r.ptr = text.sz;
    }
    *r.ptr = '\0';
    return text;
}

namespace detail {

void AppendSamples(const std::uint8_t* pBytes, std::size_t nCount, SampleTarget target,
                   AxisEvaluation& result) {
    std::vector<std::uint32_t>& samples = *target.pSamples;
    result.nFirstNewSample = samples.size();
    if (samples.size() >= target.nLimit) return;
    const std::size_t take = std::min(nCount, target.nLimit - samples.size());
    samples.reserve(samples.size() + take);
    for (std::size_t p = 0; p < take; ++p)
        samples.push_back(static_cast<std::uint32_t>(pBytes[p]) * 40u);
    result.nNewSamples = take;
}

void FinishAverage(std::size_t nCount, AxisEvaluation& result) {
    const std::size_t nonZero = nCount - static_cast<std::size_t>(result.nZeroCount);
    // No non-zero receiver (all dark, or an empty window): no level to average.
    result.dAverage = nonZero > 0 ? result.dSum * kSignalPerByte / static_cast<double>(nonZero) : 0.0;
    result.text = FormatAverage(result.dAverage);
}

}  // namespace detail
}  // namespace scope
