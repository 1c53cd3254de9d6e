// Small rules behind the scope's display controls: reference level, threshold,
// range read-out, "Bar", "Filter" and the capture buttons.
#pragma once

#include <cstdint>
#include <string>

#include "scope/PacketEvaluation.h"

namespace scope {

// The chart's reference level for weak markers: the window's average in the
// Maximal modes, 0 (no weak test) otherwise.
double ReferenceLevel(int nMode, double dAverage);

// The straight-beam threshold serves modes 0 to 5, the tilt threshold the rest.
int ThresholdPercent(int nMode, int nMinAdcOPer, int nMinAdcTPer);

// Text of the read-out beside the range track bar, "x%3d  (0 - %d)":
// 100 -> "x  0  (0 - 4095)", 50 -> "x 50  (0 - 2047)".
std::string RangeLabelText(int nRangeMax);

// "Bar" steps the style 0, 1, 2, 1, 2, ...; odd styles draw bars.
int NextChartStyle(int nStyle);
// Caption of "Bar" for the style now in force: it names what the next press brings.
const char* BarCaption(int nStyle);

// "Filter" switches the display scale between 1/1 and 2/3.
DisplayScale ToggleFilter(DisplayScale scale);

// "Capture1"/"Capture2": off (state 1) -> on and pending (state 2, pending 1);
// on -> off, dropping a capture not yet taken.
void ToggleCapture(int& nState, std::uint8_t& byPending);

}  // namespace scope
