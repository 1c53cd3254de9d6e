// The command line of the sweep test (LumagridCheck.exe sweep): parsing, range
// checks and the usage text. Portable: the program passes its arguments as
// UTF-8 strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/Diagnosis.h"

namespace check {

struct SweepOptions {
    std::vector<std::string> frames;                 // --frame, in order given: usbindexNo or name
    unsigned nChosenSets = BeamSetBit(BeamSet::OT);  // --axes: one sweep per set
    double timeLimitSeconds = 30.0;                  // --time-limit, from the prompt
    unsigned nTimeoutSeconds = 5;                    // --timeout: no packet for this long
    double dropPercent = 50.0;                       // --drop
    unsigned nPackets = 8;                           // --packets of the baseline
    std::string jsonPath;                            // --json, empty = none
    std::string junitPath;                           // --junit
    std::string logPath;                             // --log
    std::string replayPath;                          // --replay: a recording played instead of the frames
    bool bHelp = false;
};

struct ParsedSweepOptions {
    std::optional<SweepOptions> options;
    std::string error;  // one line, naming the option and the accepted values
};
// args: the words after "sweep".
ParsedSweepOptions ParseSweepOptions(const std::vector<std::string>& args);

// The usage text, each line ended by "\n".
std::string SweepUsage(const std::string& programVersion);

}  // namespace check
