// The LED check's verdict on one sample of both axes: the receivers whose level
// lies below a percentage of their axis' average, as the coloured lines the
// status box shows. Portable, so the analysis is tested without a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace reports {

// Colours in COLORREF layout (0x00BBGGRR), as the status box takes them.
constexpr std::uint32_t kStatusRed = 0x000000FF;
constexpr std::uint32_t kStatusBlue = 0x00FF0000;

struct StatusLine {
    std::string text;  // without line end
    std::uint32_t colour;
};

// One axis of the sample. Sample i belongs to receiver nStart + i (0-based).
struct LedAxis {
    const std::uint32_t* pSamples = nullptr;  // b * 40 per receiver
    std::size_t nSamples = 0;
    int nStart = 0;            // first receiver of the axis window
    unsigned nCellCount = 0;   // receivers of the axis: the highest LED number accepted
    unsigned nModuleCell = 0;  // cells per module, 0 = not divided
    unsigned nTilt1 = 0;       // offset of tilt set 1 (TL1/TR1)
    unsigned nTilt2 = 0;       // offset of tilt set 2 (TL2/TR2)
};

struct LedCheckInput {
    int nThresholdPercent = 0;  // m_nMinAdcOPer or m_nMinAdcTPer, chosen by mode
    int nDumpAxisMask = 0;      // 0x00 OT, 0x10 TL1, 0x20 TR1, 0x30 TL2, 0x40 TR2
    LedAxis x;
    LedAxis y;
};

constexpr const char* kLedCheckHeader = "----------- LED Check ------------";

// A receiver the check lists: below the cutline, its LED on the axis. Numbers
// are 64-bit so that a window starting near INT_MAX keeps its receivers' numbers.
struct LedFinding {
    long long nReceiver;  // R, 1-based
    long long nLed;       // S
    long long nLedModule;
    long long nLedPosition;
    long long nReceiverModule;
    long long nReceiverPosition;
    std::uint32_t nValue;
};

struct LedAxisResult {
    bool bSkipped = true;   // no samples, or all 0 (dark): no average, nothing listed
    float fAverage = 0.0f;  // of the nonzero samples
    long long nCutline = 0;
    // Samples [nFirstAnalysed, nEndAnalysed) see an LED within 0..cell count;
    // the others (tilted beams past the ends of the axis) are never listed.
    std::size_t nFirstAnalysed = 0;
    std::size_t nEndAnalysed = 0;
    std::vector<LedFinding> low;  // in receiver order
};

struct LedCheckResult {
    LedAxisResult x;
    LedAxisResult y;
};

// An axis' average as the check takes it: the sum over the count of the
// nonzero samples, whole, as a float; 0 when no sample is nonzero. Every
// program that predicts or repeats the check (the trend of the daily tables)
// takes it from here, so both draw the line at the same level.
float LedCheckAverage(std::uint64_t sum, std::uint64_t nNonzero);

// The cutline: a level below it is listed. |T| <= 2^31 and an average up to
// 2^32 keep it within long long; a negative T lists none.
long long LedCheckCutline(int nThresholdPercent, float fAverage);

// The analysis behind the status lines, for programs that act on it.
LedCheckResult AnalyseLedCheck(const LedCheckInput& input);

// The header (red), then the weak X receivers (red), then the weak Y receivers
// (blue). An axis with no samples or a sum of 0 contributes no line.
std::vector<StatusLine> FormatLedCheck(const LedCheckResult& result);

// FormatLedCheck(AnalyseLedCheck(input)).
std::vector<StatusLine> RunLedCheck(const LedCheckInput& input);

// The LED whose beam receiver R (1-based) sees on the given dump axis. An
// unknown mask is taken as OT.
int LedNumber(int nReceiver, int nDumpAxisMask, unsigned nTilt1, unsigned nTilt2);

// Module of cell x (1-based module, position within it; the last cell of a
// module has position 0). With nModuleCell 0: module 1, position x.
struct ModulePosition {
    int nModule;
    int nPosition;
};
ModulePosition ModuleOf(int x, unsigned nModuleCell);

}  // namespace reports
