// The command line of the frame check (LumagridCheck.exe without a
// subcommand): parsing, range checks and the usage text. Portable: the program
// passes its arguments as UTF-8 strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/Diagnosis.h"

namespace check {

struct CheckOptions {
    unsigned nWaitSeconds = 5;      // --wait: for the first connect message
    std::vector<std::string> frames;  // --frame, in order given: usbindexNo or name
    unsigned nChosenSets = kAllBeamSets;  // --axes
    bool bAxesGiven = false;
    unsigned nSettleMs = 100;       // --settle
    unsigned nPackets = 8;          // --packets
    unsigned nTimeoutSeconds = 5;   // --timeout
    std::optional<double> flickerPercent;  // --flicker
    std::optional<unsigned> minLevel;      // --min-level
    std::string jsonPath;   // --json, empty = none
    std::string junitPath;  // --junit
    std::string logPath;    // --log
    bool bStrict = false;   // --strict: a reduced check is an error
    bool bHelp = false;
    bool bVersion = false;
};

// Either options or the reason the command line is refused (exit code 64,
// with the usage text). --help and --version win over anything else given.
struct ParsedOptions {
    std::optional<CheckOptions> options;
    std::string error;  // one line, naming the option and the accepted values
};
// args: the arguments after the program name.
ParsedOptions ParseCheckOptions(const std::vector<std::string>& args);

// MIN_ADC_O_PER as the console tool takes it: a whole number from 1 to 99,
// blanks around it allowed. Nothing for anything else (empty, "abc", "33%",
// "0", "300"): a threshold of 0 would pass every dead part, one of 100 or
// more fail every sound one.
std::optional<int> ParseThresholdPercent(const std::string& text);
constexpr int kThresholdLow = 1;
constexpr int kThresholdHigh = 99;

// The diagnosis settings the options ask for, with the threshold from the settings file.
DiagnosisSettings SettingsOf(const CheckOptions& options, int nThresholdPercent);

// Whether --frame F selects the frame: F equals its name, or F is a decimal
// number equal to its usbindexNo. Two frames of one name are both selected.
bool FrameMatches(const std::string& selector, const std::string& name, int nUsbIndexNo);

// The usage text, each line ended by "\n"; names the program's version.
std::string CheckUsage(const std::string& programVersion);

}  // namespace check
