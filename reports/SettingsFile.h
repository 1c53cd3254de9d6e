// Reading Lumagrid.ini beside the executable, as the platform's profile
// functions read it: shared by the window program and the console tool (which
// only reads it).
#pragma once

#include <string>

#include "link/QuorvaneTypes.h"

namespace settings {

// The thresholds of [SETTING], their defaults where missing.
struct Thresholds {
    int nMinAdcOPer;
    int nMinAdcTPer;
};
Thresholds ReadThresholds(const std::string& iniPath);

bool HasSection(const std::string& iniPath, const std::string& section);

// The frame section's values over `frame` (the keys a section gives; the
// receiver counts stay). False, touching nothing, when there is no such section.
bool ReadFrameSection(const std::string& iniPath, const std::string& section, quorvane::FrameSettings& frame);

}  // namespace settings
