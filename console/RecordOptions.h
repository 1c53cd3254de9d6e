// "LumagridCheck record": the command line, the usage text and the order of
// the requests a recording makes so that a replay can answer them all.
// Portable: the program passes its arguments as UTF-8 strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/Diagnosis.h"

namespace check {

// Mode codes of the dump-request byte that a recording can ask for.
enum class RecordMode : int {
    AmbientIr = SCOPE_AMBIENT_IR,
    Ambient = SCOPE_AMBIENT,
    Ir = SCOPE_IR,
    Percent = SCOPE_PERCENT,
    Maximal = SCOPE_MAXIMAL_IR,
};

struct RecordOptions {
    std::string frame;                    // --frame: usbindexNo or name
    unsigned nSeconds = 0;                // --seconds
    std::vector<RecordMode> modes;        // --modes, in the order given; all five by default
    unsigned nChosenSets = kAllBeamSets;  // --axes
    unsigned nWaitSeconds = 5;            // --wait
    unsigned nTimeoutSeconds = 5;         // --timeout
    std::string file;                     // the recording to write
    std::string replayPath;               // --replay: a recording played instead of the frames
    bool bHelp = false;
};

struct ParsedRecordOptions {
    std::optional<RecordOptions> options;
    std::string error;  // one line naming the option and what it takes
};
// args: the words after "record".
ParsedRecordOptions ParseRecordOptions(const std::vector<std::string>& args);

std::string RecordUsage(const std::string& programVersion);

// The request bytes in the order they are recorded: each chosen mode on each
// beam set the frame's plan measures (the tilted sets only where a tilt is above 0).
std::vector<std::uint8_t> RecordRequests(const RecordOptions& options, const BeamSetPlan& plan);

}  // namespace check
