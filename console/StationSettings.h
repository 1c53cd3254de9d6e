// What every subcommand of the console tool takes from the station: the
// settings file beside the program and its threshold.
#pragma once

#include <string>

namespace console {

// Lumagrid.ini beside the program.
std::wstring SettingsPath();

// MIN_ADC_O_PER of Lumagrid.ini, its default when absent. False, with a line
// naming the file, the key and the value, for a value the check refuses: the
// station is misconfigured, not the frame.
bool ThresholdSetting(int& nPercent);

}  // namespace console
