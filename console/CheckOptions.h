// The command line of the frame check (LumagridCheck.exe without a
// subcommand): parsing, range checks and the usage text. Portable: the program
// passes its arguments as UTF-8 strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/CheckOptions.h"

namespace check {

// Either options or the reason the command line is refused (exit code 64,
// with the usage text). --help and --version win over anything else given.
struct ParsedOptions {
    std::optional<CheckOptions> options;
    std::string error;  // one line, naming the option and the accepted values
};
// args: the arguments after the program name.
ParsedOptions ParseCheckOptions(const std::vector<std::string>& args);

// --axes LIST: the beam-set bits of a comma-separated list of OT, TL1, TR1,
// TL2, TR2; nullopt with the item it refuses in `bad`.
std::optional<unsigned> ParseBeamSetList(const std::string& text, std::string& bad);
// The refusal of such an item, naming the option.
std::string BeamSetListError(const std::string& option, const std::string& bad);

// Whether --frame F selects the frame: F equals its name, or F is a decimal
// number equal to its usbindexNo. Two frames of one name are both selected.
bool FrameMatches(const std::string& selector, const std::string& name, int nUsbIndexNo);

// The usage text, each line ended by "\n"; names the program's version.
std::string CheckUsage(const std::string& programVersion);

}  // namespace check
