#include "console/RecordOptions.h"

#include "console/CommandLine.h"
#include "text/Numbers.h"

namespace check {

namespace {
struct ModeName {
    const char* pszName;
    RecordMode mode;
};
constexpr ModeName kModes[] = {{"maximal", RecordMode::Maximal},
                               {"ir", RecordMode::Ir},
                               {"ambient-ir", RecordMode::AmbientIr},
                               {"ambient", RecordMode::Ambient},
                               {"percent", RecordMode::Percent}};

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        parts.push_back(text.substr(from, comma - from));
        if (comma == std::string::npos) return parts;
        from = comma + 1;
    }
}

// A whole number within [low, high].
bool WholeIn(const std::string& text, unsigned low, unsigned high, unsigned& out) {
    const std::optional<std::uint64_t> v = text::ParseWhole(text);
    if (!v || *v < low || *v > high) return false;
    out = static_cast<unsigned>(*v);
    return true;
}

const std::vector<console::OptionRule> kOptionRules = {
    {"--frame", "F"},      {"--seconds", "S"},       {"--modes", "LIST"}, {"--axes", "LIST"},
    {"--wait", "SECONDS"}, {"--timeout", "SECONDS"}, {"--replay", "REC"},
};
}  // namespace

ParsedRecordOptions ParseRecordOptions(const std::vector<std::string>& args) {
    RecordOptions options;
    const auto refuse = [](const std::string& error) { return ParsedRecordOptions{std::nullopt, error}; };
    const console::CommandLine line = console::ParseCommandLine(args, kOptionRules);
    options.bHelp = line.Asks("--help");
    if (options.bHelp) return {options, {}};

    bool bSeconds = false;
    for (const console::CommandWord& word : line.words) {
        if (word.IsOperand()) {
            if (!options.file.empty()) return refuse("one recording file only: \"" + word.value + "\" is a second");
            options.file = word.value;
            continue;
        }
        const std::string& name = word.name;
        const std::string& value = word.value;
        if (name == "--frame") {
            if (value.empty()) return refuse("--frame needs a usbindexNo or a name");
            options.frame = value;
        } else if (name == "--seconds") {
            if (!WholeIn(value, 1, 86400, options.nSeconds)) return refuse("--seconds takes 1 to 86400");
            bSeconds = true;
        } else if (name == "--wait") {
            if (!WholeIn(value, 1, 3600, options.nWaitSeconds)) return refuse("--wait takes 1 to 3600");
        } else if (name == "--timeout") {
            if (!WholeIn(value, 1, 3600, options.nTimeoutSeconds)) return refuse("--timeout takes 1 to 3600");
        } else if (name == "--modes") {
            for (const std::string& part : Split(value)) {
                const ModeName* found = nullptr;
                for (const ModeName& m : kModes)
                    if (part == m.pszName) found = &m;
                if (found == nullptr)
                    return refuse("--modes takes maximal, ir, ambient-ir, ambient and percent, not \"" + part + "\"");
                options.modes.push_back(found->mode);
            }
        } else if (name == "--replay") {
            if (value.empty()) return refuse("--replay needs the recording to play");
            options.replayPath = value;
        } else {  // --axes
            options.nChosenSets = 0;
            for (const std::string& part : Split(value)) {
                const std::optional<BeamSet> set = BeamSetFromName(part);
                if (!set) return refuse("--axes takes OT, TL1, TR1, TL2 and TR2, not \"" + part + "\"");
                options.nChosenSets |= BeamSetBit(*set);
            }
        }
    }
    if (!line.error.empty()) return refuse(line.error);
    if (options.frame.empty()) return refuse("--frame is required: the usbindexNo or the name of the frame");
    if (!bSeconds) return refuse("--seconds is required");
    if (options.file.empty()) return refuse("the recording file is missing");
    if (options.modes.empty())
        for (const ModeName& m : kModes) options.modes.push_back(m.mode);
    return {options, {}};
}

std::string RecordUsage(const std::string& programVersion) {
    return "LumagridCheck " + programVersion +
           ": records a frame's dump stream for replay by the substitute library\n"
           "\n"
           "usage: LumagridCheck.exe record --frame F --seconds S [options] FILE\n"
           "\n"
           "  --frame F          the frame: its usbindexNo or its name\n"
           "  --seconds S        how long to record, 1 to 86400; every mode and beam set gets an\n"
           "                     equal share, so that a replay can answer each of them\n"
           "  --modes LIST       comma-separated from maximal,ir,ambient-ir,ambient,percent (default: all)\n"
           "  --axes LIST        beam sets from OT,TL1,TR1,TL2,TR2 (default: all the frame has)\n"
           "  --wait SECONDS     wait for the library's first connect message, 1 to 3600 (default 5)\n"
           "  --timeout SECONDS  no packet for this long ends the recording, 1 to 3600 (default 5)\n"
           "  --replay REC       record the frame recorded in REC (.lgrec) instead of a connected\n"
           "                     one: simulator\\QuorvaneLib.dll plays it, the library beside the\n"
           "                     program is not loaded\n"
           "  FILE               the recording (.lgrec); written as it goes, readable if cut short\n"
           "\n"
           "exit codes: 0 recorded; 2 no such frame, the frame fell silent or left, a request got no\n"
           "            packet in its share, or the file could not be written (what was recorded\n"
           "            stays readable), a --replay REC that cannot be played; 64 a bad command line\n";
}

std::vector<std::uint8_t> RecordRequests(const RecordOptions& options, const BeamSetPlan& plan) {
    std::vector<std::uint8_t> requests;
    for (RecordMode mode : options.modes)
        for (BeamSet set : plan.requested)
            requests.push_back(static_cast<std::uint8_t>(DumpAxisCode(set) | static_cast<int>(mode)));
    return requests;
}

}  // namespace check
