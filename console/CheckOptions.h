// The command line of the frame check (LumagridCheck.exe without a
// subcommand): parsing, range checks and the usage text. Portable: the program
// passes its arguments as UTF-8 strings.
#pragma once

#include <cstddef>
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

// A frame of the library's list as --frame sees it: its name in UTF-8.
struct ListedFrame {
    std::string name;
    int nUsbIndexNo = -1;
    bool bListed = false;  // an unlisted record is never chosen
};
// The frames a run takes and the --frame values that match no listed frame.
struct FrameChoice {
    std::vector<std::size_t> chosen;     // indices into the list, in list order, each once
    std::vector<std::string> unmatched;  // in the order given: each a frame missing from the fixture
};
// Without selectors every listed frame is chosen.
FrameChoice ChooseFrames(const std::vector<std::string>& selectors, const std::vector<ListedFrame>& frames);

// The usage text, each line ended by "\n"; names the program's version.
std::string CheckUsage(const std::string& programVersion);

}  // namespace check
