// Reading and writing Lumagrid.ini beside the executable, as the platform's
// profile functions do: shared by the window program and the console tool
// (which only reads it). Paths are wide so that a folder named in any
// language is found; section names are the library's device names, bytes of
// the system code page, as the file holds them.
#pragma once

#include <optional>
#include <string>

#include "link/QuorvaneTypes.h"

namespace settings {

// The thresholds of [SETTING], their defaults where missing.
struct Thresholds {
    int nMinAdcOPer;
    int nMinAdcTPer;
};
Thresholds ReadThresholds(const std::wstring& iniPath);

// MIN_ADC_O_PER of [SETTING] as written in the file, for a reader that parses
// it strictly (ReadThresholds reads "abc" as 0); nothing when the key or the
// file is missing.
std::optional<std::wstring> ReadMinAdcOPerText(const std::wstring& iniPath);

// MIN_ADC_O_PER as the frame check takes it, in both programs: the default
// when absent, the value when ParseThresholdPercent accepts it; nothing,
// with `refusal` naming the file, the key and the value (bytes of nCodePage:
// the console's UTF-8, the status box's system code page), for any other.
std::optional<int> ReadCheckThreshold(const std::wstring& iniPath, unsigned nCodePage, std::string& refusal);

bool HasSection(const std::wstring& iniPath, const std::string& section);

// The frame section's values over `frame` (the keys a section gives; the
// receiver counts stay). False, touching nothing, when there is no such section.
bool ReadFrameSection(const std::wstring& iniPath, const std::string& section, quorvane::FrameSettings& frame);

// The twelve keys of `frame` into its section.
void WriteFrameSection(const std::wstring& iniPath, const std::string& section, const quorvane::FrameSettings& frame);

}  // namespace settings
