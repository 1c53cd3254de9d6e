#include "reports/LedCheck.h"

#include "link/DumpCodes.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace reports {

namespace {

// Receiver, LED, module and position numbers are worked out in 64 bits: with a
// window start near INT_MAX, a receiver past it is listed as itself, not wrapped.
// pSamples holding nSamples values keeps every such number far below 2^63.
using Number = long long;

Number LedOf(Number nReceiver, int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2) {
    switch (nDumpAxisMask) {
        case DUMP_AXIS_TL1: return nReceiver + nTilt1;
        case DUMP_AXIS_TR1: return nReceiver - nTilt1 - 1;
        case DUMP_AXIS_TL2: return nReceiver + nTilt2;
        case DUMP_AXIS_TR2: return nReceiver - nTilt2 - 1;
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

// Offset of the LED a receiver sees on the dump axis: S = R + offset.
Number LedOffset(int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2) {
    return LedOf(0, nDumpAxisMask, nTilt1, nTilt2);
}

LedAxisResult AnalyseAxis(const LedAxis& axis, int nThresholdPercent, int nDumpAxisMask) {
    LedAxisResult result;
    if (axis.pSamples == nullptr || axis.nSamples == 0) return result;  // a count without a buffer: no samples

    // Sample i is receiver nStart + i + 1; its LED lies on the axis when
    // 0 <= nStart + i + 1 + offset <= cell count. Every term stays within +-2^34.
    const Number base = static_cast<Number>(axis.nStart) + 1 + LedOffset(nDumpAxisMask, axis.nTilt1, axis.nTilt2);
    const Number samples = static_cast<Number>(std::min<unsigned long long>(axis.nSamples, LLONG_MAX / 2));
    const Number first = std::clamp<Number>(-base, 0, samples);
    result.nFirstAnalysed = static_cast<std::size_t>(first);
    result.nEndAnalysed =
        static_cast<std::size_t>(std::clamp<Number>(static_cast<Number>(axis.nCellCount) - base + 1, first, samples));

    // More than 2^32 samples could pass 2^64: the sum stops there rather than wrap.
    std::uint64_t sum = 0;
    std::uint64_t zeros = 0;
    for (std::size_t i = 0; i < axis.nSamples; ++i) {
        const std::uint64_t v = axis.pSamples[i];
        if (v == 0) ++zeros;
        sum = (sum > UINT64_MAX - v) ? UINT64_MAX : sum + v;
    }
    if (sum == 0) return result;  // also leaves at least one nonzero value to divide by

    result.bSkipped = false;
    result.fAverage = LedCheckAverage(sum, axis.nSamples - zeros);
    // The cutline is compared and printed whole: clamping it to int would list
    // fewer receivers than the threshold asks for.
    result.nCutline = LedCheckCutline(nThresholdPercent, result.fAverage);

    for (std::size_t i = result.nFirstAnalysed; i < result.nEndAnalysed; ++i) {
        const std::uint32_t v = axis.pSamples[i];
        if (static_cast<Number>(v) >= result.nCutline) continue;
        const Number r = static_cast<Number>(axis.nStart) + static_cast<Number>(i) + 1;
        const Number s = LedOf(r, nDumpAxisMask, axis.nTilt1, axis.nTilt2);
        const Place ps = PlaceOf(s, axis.nModuleCell);
        const Place pr = PlaceOf(r, axis.nModuleCell);
        result.low.push_back({r, s, ps.nModule, ps.nPosition, pr.nModule, pr.nPosition, v});
    }
    return result;
}

void FormatAxis(const LedAxisResult& axis, char axisName, std::uint32_t colour, std::vector<StatusLine>& lines) {
    if (axis.bSkipped) return;
    for (const LedFinding& f : axis.low) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "(cutline:%lld) aver:%.0f => %c index(S:%lld R:%lld)  S(%lld)(%lld) / R(%lld)(%lld) -> %u",
                      axis.nCutline, static_cast<double>(axis.fAverage), axisName, f.nLed, f.nReceiver, f.nLedModule,
                      f.nLedPosition, f.nReceiverModule, f.nReceiverPosition, static_cast<unsigned>(f.nValue));
        lines.push_back({text, colour});
    }
}

}  // namespace

float LedCheckAverage(std::uint64_t sum, std::uint64_t nNonzero) {
    if (sum == 0 || nNonzero == 0) return 0.0f;
    const std::uint64_t average = sum / nNonzero;  // integer division, as the LED check has always done
    return static_cast<float>(average);
}

long long LedCheckCutline(int nThresholdPercent, float fAverage) {
    return static_cast<long long>(static_cast<double>(nThresholdPercent) * fAverage / 100.0);
}

LedCheckResult AnalyseLedCheck(const LedCheckInput& input) {
    return {AnalyseAxis(input.x, input.nThresholdPercent, input.nDumpAxisMask),
            AnalyseAxis(input.y, input.nThresholdPercent, input.nDumpAxisMask)};
}

std::vector<StatusLine> FormatLedCheck(const LedCheckResult& result) {
    std::vector<StatusLine> lines;
    lines.push_back({kLedCheckHeader, kStatusRed});
    FormatAxis(result.x, 'X', kStatusRed, lines);
    FormatAxis(result.y, 'Y', kStatusBlue, lines);
    return lines;
}

std::vector<StatusLine> RunLedCheck(const LedCheckInput& input) { return FormatLedCheck(AnalyseLedCheck(input)); }

// The int forms saturate where the true number leaves int: no frame has that many cells.
int LedNumber(int nReceiver, int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2) {
    return static_cast<int>(ClampToInt(LedOf(nReceiver, nDumpAxisMask, nTilt1, nTilt2)));
}

ModulePosition ModuleOf(int x, unsigned nModuleCell) {
    const Place place = PlaceOf(x, nModuleCell);  // both parts fit in int for an int x
    return {static_cast<int>(place.nModule), static_cast<int>(place.nPosition)};
}

}  // namespace reports
