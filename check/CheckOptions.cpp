#include "check/CheckOptions.h"

namespace check {

DiagnosisSettings SettingsOf(const CheckOptions& options, int nThresholdPercent) {
    DiagnosisSettings settings;
    settings.nThresholdPercent = nThresholdPercent;
    settings.nChosenSets = options.nChosenSets;
    settings.flickerPercent = options.flickerPercent;
    settings.minLevel = options.minLevel;
    return settings;
}

}  // namespace check
