// The LED check on samples of any window of any frame, with thresholds as
// Lumagrid.ini may hold them and any dump axis. Every line parses back into
// numbers that agree with the samples: only receivers below the cutline whose
// LED lies on the axis are listed, each once, in order, with its module and
// position; X lines red before Y lines blue, after the header.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "reports/LedCheck.h"

using namespace reports;

namespace {

struct Axis {
    std::unique_ptr<std::uint32_t[]> samples;  // exactly nSamples values
    LedAxis led;
};

unsigned AnyUnsigned(FuzzedDataProvider& in, unsigned small) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return 0;
        case 1: return in.ConsumeIntegralInRange(0u, small);
        case 2: return in.ConsumeIntegral<std::uint16_t>();
        default: return in.ConsumeIntegral<unsigned>();
    }
}

void MakeAxis(FuzzedDataProvider& in, Axis& axis) {
    LedAxis& a = axis.led;
    a.nSamples = in.ConsumeIntegralInRange<std::size_t>(0, 600);
    const bool bRaw = in.ConsumeIntegralInRange(0, 7) == 0;  // any 32-bit value, not b * 40
    axis.samples.reset(new std::uint32_t[a.nSamples]);
    for (std::size_t i = 0; i < a.nSamples; ++i)
        axis.samples[i] = bRaw ? in.ConsumeIntegral<std::uint32_t>() : in.ConsumeIntegral<std::uint8_t>() * 40u;
    a.pSamples = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : axis.samples.get();
    a.nStart = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 4096) : in.ConsumeIntegral<int>();
    a.nCellCount =
        in.ConsumeBool() ? static_cast<unsigned>(a.nStart) + static_cast<unsigned>(a.nSamples) : AnyUnsigned(in, 4096);
    a.nModuleCell = AnyUnsigned(in, 64);
    a.nTilt1 = AnyUnsigned(in, 255);
    a.nTilt2 = AnyUnsigned(in, 255);
}

long long LedOf(long long r, int mask, unsigned t1, unsigned t2) {
    switch (mask) {
        case 0x10: return r + t1;
        case 0x20: return r - t1 - 1;
        case 0x30: return r + t2;
        case 0x40: return r - t2 - 1;
        default: return r;
    }
}

// Module m and position p of cell x: m counts from 1 for cells 1.., p is x's
// remainder (0 for a module's last cell); with no modules, module 1 and x itself.
void CheckPlace(long long x, unsigned nModuleCell, long long module, long long position) {
    if (nModuleCell == 0) {
        FUZZ_REQUIRE(module == 1 && position == x);
        return;
    }
    const long long m = nModuleCell;
    FUZZ_REQUIRE(position > -m && position < m);
    FUZZ_REQUIRE(position == 0 || (position > 0) == (x > 0));
    FUZZ_REQUIRE(module * m + position - (position > 0 ? m : 0) == x);
}

// The lines of one axis, from `next` on; returns where the other axis' lines start.
std::size_t CheckAxisLines(const std::vector<StatusLine>& lines, std::size_t next, const LedAxis& a, char name,
                           std::uint32_t colour, int nThreshold, int nMask) {
    std::size_t expectedCount = 0;
    float average = 0.0f;
    long long cutline = 0;
    if (a.pSamples != nullptr && a.nSamples > 0) {
        std::uint64_t sum = 0, nonZero = 0;
        for (std::size_t i = 0; i < a.nSamples; ++i) {
            sum += a.pSamples[i];
            nonZero += a.pSamples[i] != 0;
        }
        if (sum > 0) {
            average = static_cast<float>(sum / nonZero);
            cutline = static_cast<long long>(static_cast<double>(nThreshold) * average / 100.0);
            for (std::size_t i = 0; i < a.nSamples; ++i) {
                const long long s = LedOf(static_cast<long long>(a.nStart) + i + 1, nMask, a.nTilt1, a.nTilt2);
                expectedCount += s >= 0 && s <= static_cast<long long>(a.nCellCount) &&
                                 static_cast<long long>(a.pSamples[i]) < cutline;
            }
        }
    }
    long long lastR = LLONG_MIN;
    for (std::size_t k = 0; k < expectedCount; ++k, ++next) {
        FUZZ_REQUIRE(next < lines.size());
        const StatusLine& line = lines[next];
        FUZZ_REQUIRE(line.colour == colour);
        long long cut, s, r, sm, sp, rm, rp;
        double aver;
        char axis;
        unsigned v;
        int used = 0;
        FUZZ_REQUIRE(std::sscanf(line.text.c_str(),
                                 "(cutline:%lld) aver:%lf => %c index(S:%lld R:%lld)  S(%lld)(%lld) / "
                                 "R(%lld)(%lld) -> %u%n",
                                 &cut, &aver, &axis, &s, &r, &sm, &sp, &rm, &rp, &v, &used) == 10);
        FUZZ_REQUIRE(used == static_cast<int>(line.text.size()));
        FUZZ_REQUIRE(cut == cutline && axis == name);
        FUZZ_REQUIRE(aver == std::nearbyint(static_cast<double>(average)));
        FUZZ_REQUIRE(r > lastR);
        lastR = r;
        const long long i = r - 1 - a.nStart;
        FUZZ_REQUIRE(i >= 0 && i < static_cast<long long>(a.nSamples));
        FUZZ_REQUIRE(v == a.pSamples[i] && static_cast<long long>(v) < cutline);
        FUZZ_REQUIRE(s == LedOf(r, nMask, a.nTilt1, a.nTilt2));
        FUZZ_REQUIRE(s >= 0 && s <= static_cast<long long>(a.nCellCount));
        CheckPlace(s, a.nModuleCell, sm, sp);
        CheckPlace(r, a.nModuleCell, rm, rp);
    }
    return next;
}

void CheckIntForms(FuzzedDataProvider& in) {
    const int r = in.ConsumeIntegral<int>();
    const int mask = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 4) * 0x10 : in.ConsumeIntegral<int>();
    const unsigned t1 = in.ConsumeIntegral<unsigned>(), t2 = in.ConsumeIntegral<unsigned>();
    const long long led = LedOf(r, mask, t1, t2);
    FUZZ_REQUIRE(LedNumber(r, mask, t1, t2) == (led > INT_MAX ? INT_MAX : led < INT_MIN ? INT_MIN : led));
    const unsigned m = in.ConsumeIntegral<unsigned>();
    const ModulePosition place = ModuleOf(r, m);
    CheckPlace(r, m, place.nModule, place.nPosition);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    LedCheckInput input;
    input.nThresholdPercent = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 100) : in.ConsumeIntegral<int>();
    input.nDumpAxisMask = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 4) * 0x10 : in.ConsumeIntegral<int>();
    Axis x, y;
    MakeAxis(in, x);
    MakeAxis(in, y);
    input.x = x.led;
    input.y = y.led;

    const std::vector<StatusLine> lines = RunLedCheck(input);
    FUZZ_REQUIRE(!lines.empty() && lines[0].text == kLedCheckHeader && lines[0].colour == kStatusRed);
    std::size_t next = CheckAxisLines(lines, 1, input.x, 'X', kStatusRed, input.nThresholdPercent, input.nDumpAxisMask);
    next = CheckAxisLines(lines, next, input.y, 'Y', kStatusBlue, input.nThresholdPercent, input.nDumpAxisMask);
    FUZZ_REQUIRE(next == lines.size());

    CheckIntForms(in);
    return 0;
}
