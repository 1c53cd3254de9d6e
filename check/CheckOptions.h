// What a run of the frame check was asked to do: the report records it, the
// diagnosis takes its settings from it. The console's command line fills it
// (console/CheckOptions.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/Diagnosis.h"

namespace check {

struct CheckOptions {
    unsigned nWaitSeconds = 5;            // --wait: for the first connect message
    std::vector<std::string> frames;      // --frame, in order given: usbindexNo or name
    unsigned nChosenSets = kAllBeamSets;  // --axes
    bool bAxesGiven = false;
    unsigned nSettleMs = 100;              // --settle
    unsigned nPackets = 8;                 // --packets
    unsigned nTimeoutSeconds = 5;          // --timeout
    std::optional<double> flickerPercent;  // --flicker
    std::optional<unsigned> minLevel;      // --min-level
    std::string jsonPath;                  // --json, empty = none
    std::string junitPath;                 // --junit
    std::string logPath;                   // --log
    bool bStrict = false;                  // --strict: a reduced check is an error
    std::string replayPath;                // --replay: a recording played instead of the frames
    bool bHelp = false;
    bool bVersion = false;
};

// The diagnosis settings the options ask for, with the threshold from the settings file.
DiagnosisSettings SettingsOf(const CheckOptions& options, int nThresholdPercent);

}  // namespace check
