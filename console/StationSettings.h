// What every subcommand of the console tool takes from the station: the
// settings file beside the program, its threshold and a frame's geometry.
#pragma once

#include <string>

#include "link/DeviceRecords.h"
#include "link/QuorvaneTypes.h"

namespace check {
class CFrameLink;
}

namespace console {

// Lumagrid.ini beside the program.
std::wstring SettingsPath();

// MIN_ADC_O_PER of Lumagrid.ini, its default when absent. False, with a line
// naming the file, the key and the value, for a value the check refuses: the
// station is misconfigured, not the frame.
bool ThresholdSetting(int& nPercent);

// The frame's geometry as a click on it in the scope would give it: the
// counts of the device record, then the library's settings answer; without
// that answer the modules and tilts an earlier run of the scope stored.
// `reduced` says why the geometry is not the frame's own answer.
bool FrameSettingsOf(check::CFrameLink& link, const quorvane::DeviceRecord& device, quorvane::FrameSettings& frame,
                     std::string& error, std::string& reduced);

}  // namespace console
