#include "scope/PacketEvaluation.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>

namespace scope {

void EnsureCaptureStorage(std::vector<double>& capture, std::size_t nXT, std::size_t nYT) {
    const std::size_t needed = std::max(kMinCaptureSize, nXT + nYT);
    if (capture.size() < needed) capture.resize(needed, 0.0);
}

std::size_t FreezeCaptureWindow(std::vector<double>& capture, const AxisSource& source, DisplayScale scale) {
    const AxisWindow& w = source.window;
    if (w.nStart < 0 || w.nCount <= 0) return 0;
    const std::size_t first = source.nCaptureBase + static_cast<std::size_t>(w.nStart);
    const std::size_t count = static_cast<std::size_t>(w.nCount);
    const std::size_t fits = first >= capture.size() ? 0 : std::min(count, capture.size() - first);
    const std::uint8_t* bytes = source.pReceivers + w.nStart;
    for (std::size_t p = 0; p < fits; ++p) capture[first + p] = bytes[p] * scale.num / scale.den;
    return count - fits;
}

bool TakePendingCapture(int nState, std::uint8_t& byPending, std::vector<double>& capture, const PacketView& packet,
                        const AxisWindow& xWindow, const AxisWindow& yWindow, DisplayScale scale) {
    if (nState != 2 || byPending != 1) return false;
    FreezeCaptureWindow(capture, XAxisSource(packet, xWindow), scale);
    FreezeCaptureWindow(capture, YAxisSource(packet, yWindow), scale);
    byPending = 0;
    return true;
}

namespace {
ShownValues MakeShownValues(DisplayScale scale) {
    static std::atomic<std::uint64_t> s_nLastId{0};
    ShownValues shown;
    shown.nId = ++s_nLastId;
    shown.bNoNaN = true;
    for (unsigned b = 0; b < 256; ++b) {
        shown.adValue[b] = b * scale.num / scale.den;
        shown.bNoNaN = shown.bNoNaN && !std::isnan(shown.adValue[b]);
    }
    // Steps up to 2^13 keep 255 * step * any int count of receivers below 2^53.
    const double step = shown.adValue[1];
    if (std::fabs(step) <= 8192.0 && step == std::trunc(step)) {
        bool exact = true;
        for (unsigned b = 0; b < 256 && exact; ++b) exact = shown.adValue[b] == b * step;
        shown.bIntegerSteps = exact;
        shown.nStep = exact ? static_cast<std::int64_t>(step) : 0;
    }
    return shown;
}

bool SameBits(double a, double b) {
    std::uint64_t bitsA = 0, bitsB = 0;
    std::memcpy(&bitsA, &a, sizeof a);
    std::memcpy(&bitsB, &b, sizeof b);
    return bitsA == bitsB;
}
}  // namespace

const ShownValues& ShownValueTable(DisplayScale scale) {
    thread_local DisplayScale cachedScale{};
    thread_local ShownValues cached = MakeShownValues(cachedScale);
    if (!SameBits(scale.num, cachedScale.num) || !SameBits(scale.den, cachedScale.den)) {
        cached = MakeShownValues(scale);
        cachedScale = scale;
    }
    return cached;
}

namespace {
// "%.2f" of values below 2^32 in magnitude from the exact binary value: v = m / 2^k
// with m < 2^53 and k <= 63, so 100 * (fraction bits) fits 64 bits. Ties round to even,
// as printf and to_chars do. Returns false for larger values, infinities and NaN.
bool FormatFixed2(double dValue, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &dValue, sizeof bits);
    const bool negative = bits >> 63;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    if (exponent > 31) return false;
    std::uint64_t whole = 0;
    std::uint64_t cents = 0;
    // Below 2^-11 (zeros and subnormals included) everything rounds to 0.00.
    if (exponent >= -11) {
        const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        const int k = 52 - exponent;
        whole = mantissa >> k;
        const std::uint64_t mask = (std::uint64_t{1} << k) - 1;
        const std::uint64_t scaled = (mantissa & mask) * 100u;
        cents = scaled >> k;
        const std::uint64_t rest = scaled & mask;
        const std::uint64_t half = std::uint64_t{1} << (k - 1);
        if (rest > half || (rest == half && (cents & 1u))) ++cents;
        if (cents == 100) {
            cents = 0;
            ++whole;
        }
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (negative) *out++ = '-';
    while (n > 0) *out++ = digits[--n];
    *out++ = '.';
    *out++ = static_cast<char>('0' + cents / 10);
    *out++ = static_cast<char>('0' + cents % 10);
    *out = '\0';
    return true;
}
}  // namespace

AverageText FormatAverage(double dValue) {
    AverageText text;
    // Averages are far below 2^32; to_chars takes many times longer.
    if (FormatFixed2(dValue, text.sz)) return text;
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

constexpr std::size_t kBlock = 16;

void AppendSamples(const std::uint8_t* pBytes, std::size_t nCount, SampleTarget target, AxisEvaluation& result) {
    std::vector<std::uint32_t>& samples = *target.pSamples;
    result.nFirstNewSample = samples.size();
    if (samples.size() >= target.nLimit) return;
    const std::size_t take = std::min(nCount, target.nLimit - samples.size());
    samples.resize(samples.size() + take);
    std::uint32_t* const out = samples.data() + result.nFirstNewSample;
    // Fixed-size blocks let the compiler use vector instructions at -O2; each block is
    // copied first, as the stores might otherwise change the bytes (char aliases all).
    std::size_t p = 0;
    for (; p + kBlock <= take; p += kBlock) {
        std::uint8_t block[kBlock];
        std::memcpy(block, pBytes + p, kBlock);
        for (std::size_t k = 0; k < kBlock; ++k) out[p + k] = static_cast<std::uint32_t>(block[k]) * 40u;
    }
    for (; p < take; ++p) out[p] = static_cast<std::uint32_t>(pBytes[p]) * 40u;
    result.nNewSamples = take;
}

void SumShownValues(const std::uint8_t* pBytes, std::size_t nCount, const ShownValues& shown, AxisEvaluation& result) {
    std::size_t zeros = 0;
    double sum = 0.0;
    if (shown.bIntegerSteps) {
        // Every partial sum is an exact integer, so adding in integers gives the same
        // double as adding the shown values one by one (a zero sum is +0.0 either way).
        std::uint64_t bytes = 0;
        std::size_t p = 0;
        for (; p + kBlock <= nCount; p += kBlock) {
            unsigned blockBytes = 0;
            unsigned blockZeros = 0;
            for (std::size_t k = 0; k < kBlock; ++k) {
                blockBytes += pBytes[p + k];
                blockZeros += (pBytes[p + k] == 0);
            }
            bytes += blockBytes;
            zeros += blockZeros;
        }
        for (; p < nCount; ++p) {
            bytes += pBytes[p];
            zeros += (pBytes[p] == 0);
        }
        sum = static_cast<double>(shown.nStep * static_cast<std::int64_t>(bytes));
    } else {
        for (std::size_t p = 0; p < nCount; ++p) {
            zeros += (pBytes[p] == 0);
            sum += shown.adValue[pBytes[p]];
        }
    }
    result.nZeroCount = static_cast<int>(zeros);
    result.dSum = sum;
}

void FinishAverage(std::size_t nCount, AxisEvaluation& result) {
    const std::size_t nonZero = nCount - static_cast<std::size_t>(result.nZeroCount);
    // No non-zero receiver (all dark, or an empty window): no level to average.
    result.dAverage = nonZero > 0 ? result.dSum * kSignalPerByte / static_cast<double>(nonZero) : 0.0;
    result.text = FormatAverage(result.dAverage);
}

}  // namespace detail
}  // namespace scope
