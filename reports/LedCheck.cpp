#include "reports/LedCheck.h"

#include <climits>
#include <cstdio>

namespace reports {

namespace {

// Receiver, LED, module and position numbers are worked out in 64 bits: with a
// window start near INT_MAX, a receiver past it is listed as itself, not wrapped.
// pSamples holding nSamples values keeps every such number far below 2^63.
using Number = long long;

constexpr int kDumpAxisTl1 = 0x10;
constexpr int kDumpAxisTr1 = 0x20;
constexpr int kDumpAxisTl2 = 0x30;
constexpr int kDumpAxisTr2 = 0x40;

Number LedOf(Number nReceiver, int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2) {
    switch (nDumpAxisMask) {
        case kDumpAxisTl1: return nReceiver + nTilt1;
        case kDumpAxisTr1: return nReceiver - nTilt1 - 1;
        case kDumpAxisTl2: return nReceiver + nTilt2;
        case kDumpAxisTr2: return nReceiver - nTilt2 - 1;
        default: return nReceiver;  // OT, and any mask not known here
    }
}

struct Place {
    Number nModule;
    Number nPosition;
};

// Signed division on purpose: a negative receiver (a negative window start)
// must not be turned into a huge unsigned one.
Place PlaceOf(Number x, unsigned nModuleCell) {
    if (nModuleCell == 0) return {1, x};
    const Number m = nModuleCell;
    return {x / m + (x % m > 0 ? 1 : 0), x % m};
}

Number ClampToInt(Number n) {
    if (n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return n;
}

void CheckAxis(const LedAxis& axis, char axisName, int nThresholdPercent, int nDumpAxisMask,
               std::uint32_t colour, std::vector<StatusLine>& lines) {
    if (axis.pSamples == nullptr || axis.nSamples == 0) return;  // a count without a buffer: no samples

    // More than 2^32 samples could pass 2^64: the sum stops there rather than wrap.
    std::uint64_t sum = 0;
    std::uint64_t zeros = 0;
    for (std::size_t i = 0; i < axis.nSamples; ++i) {
        const std::uint64_t v = axis.pSamples[i];
        if (v == 0) ++zeros;
        sum = (sum > UINT64_MAX - v) ? UINT64_MAX : sum + v;
    }
    if (sum == 0) return;  // also leaves at least one nonzero value to divide by

    const float average = static_cast<float>(sum / (axis.nSamples - zeros));
    // |T| <= 2^31 and average <= 2^32 keep the quotient within long long. The
    // cutline is compared and printed whole: clamping it to int would list
    // fewer receivers than the threshold asks for. A negative T lists none.
    const Number cutline = static_cast<Number>(static_cast<double>(nThresholdPercent) * average / 100.0);

    for (std::size_t i = 0; i < axis.nSamples; ++i) {
        const std::uint32_t v = axis.pSamples[i];
        const Number r = static_cast<Number>(axis.nStart) + static_cast<Number>(i) + 1;
        const Number s = LedOf(r, nDumpAxisMask, axis.nTilt1, axis.nTilt2);
        if (s < 0 || s > static_cast<Number>(axis.nCellCount)) continue;
        if (static_cast<Number>(v) >= cutline) continue;

        const Place ps = PlaceOf(s, axis.nModuleCell);
        const Place pr = PlaceOf(r, axis.nModuleCell);
        char text[256];
        std::snprintf(text, sizeof text,
                      "(cutline:%lld) aver:%.0f => %c index(S:%lld R:%lld)  S(%lld)(%lld) / R(%lld)(%lld) -> %u",
                      cutline, static_cast<double>(average), axisName, s, r, ps.nModule, ps.nPosition,
                      pr.nModule, pr.nPosition, static_cast<unsigned>(v));
        lines.push_back({text, colour});
    }
}

}  // namespace

std::vector<StatusLine> RunLedCheck(const LedCheckInput& input) {
    std::vector<StatusLine> lines;
    lines.push_back({kLedCheckHeader, kStatusRed});
    CheckAxis(input.x, 'X', input.nThresholdPercent, input.nDumpAxisMask, kStatusRed, lines);
    CheckAxis(input.y, 'Y', input.nThresholdPercent, input.nDumpAxisMask, kStatusBlue, lines);
    return lines;
}

// The int forms saturate where the true number leaves int: no frame has that many cells.
int LedNumber(int nReceiver, int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2) {
    return static_cast<int>(ClampToInt(LedOf(nReceiver, nDumpAxisMask, nTilt1, nTilt2)));
}

ModulePosition ModuleOf(int x, unsigned nModuleCell) {
    const Place place = PlaceOf(x, nModuleCell);  // both parts fit in int for an int x
    return {static_cast<int>(place.nModule), static_cast<int>(place.nPosition)};
}

}  // namespace reports
