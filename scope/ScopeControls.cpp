#include "scope/ScopeControls.h"

#include <cstdio>

#include "scope/DumpRequest.h"

namespace scope {

double ReferenceLevel(int nMode, double dAverage) { return IsMaximalMode(nMode) ? dAverage : 0.0; }

int ThresholdPercent(int nMode, int nMinAdcOPer, int nMinAdcTPer) {
    return nMode <= SCOPE_MAXIMAL_IR ? nMinAdcOPer : nMinAdcTPer;
}

std::string RangeLabelText(int nRangeMax) {
    char text[48];
    // Both in 64 bits, so that no int position overflows.
    const long long shown = 100LL - nRangeMax;
    const long long top = static_cast<long long>(nRangeMax) * 4095 / 100;
    std::snprintf(text, sizeof(text), "x%3lld  (0 - %lld)", shown, top);
    return text;
}

int NextChartStyle(int nStyle) { return nStyle < 2 ? nStyle + 1 : 1; }

const char* BarCaption(int nStyle) { return (nStyle & 1) ? "Ellipse" : "Bar"; }

DisplayScale ToggleFilter(DisplayScale scale) {
    return scale.num == 1.0 ? DisplayScale{2.0, 3.0} : DisplayScale{1.0, 1.0};
}

void ToggleCapture(int& nState, std::uint8_t& byPending) {
    if (nState == 1) {
        nState = 2;
        byPending = 1;
    } else {
        nState = 1;
        byPending = 0;
    }
}

}  // namespace scope
