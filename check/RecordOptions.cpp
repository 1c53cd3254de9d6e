#include "check/RecordOptions.h"

#include <cstdlib>

namespace check {

namespace {
struct ModeName {
    const char* pszName;
    RecordMode mode;
};
constexpr ModeName kModes[] = {{"maximal", RecordMode::Maximal},   {"ir", RecordMode::Ir},
                               {"ambient-ir", RecordMode::AmbientIr}, {"ambient", RecordMode::Ambient},
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

// A whole number within [low, high], plain digits only.
bool ParseWhole(const std::string& text, unsigned low, unsigned high, unsigned& out) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (v < low || v > high) return false;
    out = static_cast<unsigned>(v);
    return true;
}
}  // namespace

ParsedRecordOptions ParseRecordOptions(const std::vector<std::string>& args) {
    RecordOptions options;
    const auto refuse = [](const std::string& error) { return ParsedRecordOptions{std::nullopt, error}; };
    for (const std::string& arg : args)
        if (arg == "--help") options.bHelp = true;
    if (options.bHelp) return {options, {}};

    bool bSeconds = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.compare(0, 2, "--") != 0) {
            if (!options.file.empty()) return refuse("one recording file only: \"" + arg + "\" is a second");
            options.file = arg;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return refuse(name + " needs a value");
        }
        if (name == "--frame") {
            if (value.empty()) return refuse("--frame needs a usbindexNo or a name");
            options.frame = value;
        } else if (name == "--seconds") {
            if (!ParseWhole(value, 1, 86400, options.nSeconds)) return refuse("--seconds takes 1 to 86400");
            bSeconds = true;
        } else if (name == "--wait") {
            if (!ParseWhole(value, 1, 3600, options.nWaitSeconds)) return refuse("--wait takes 1 to 3600");
        } else if (name == "--timeout") {
            if (!ParseWhole(value, 1, 3600, options.nTimeoutSeconds)) return refuse("--timeout takes 1 to 3600");
        } else if (name == "--modes") {
            options.modes.clear();
            for (const std::string& part : Split(value)) {
                const ModeName* found = nullptr;
                for (const ModeName& m : kModes)
                    if (part == m.pszName) found = &m;
                if (found == nullptr)
                    return refuse("--modes takes maximal, ir, ambient-ir, ambient and percent, not \"" + part + "\"");
                options.modes.push_back(found->mode);
            }
        } else if (name == "--axes") {
            options.nChosenSets = 0;
            for (const std::string& part : Split(value)) {
                const std::optional<BeamSet> set = BeamSetFromName(part);
                if (!set) return refuse("--axes takes OT, TL1, TR1, TL2 and TR2, not \"" + part + "\"");
                options.nChosenSets |= BeamSetBit(*set);
            }
        } else {
            return refuse("unknown option \"" + name + "\"");
        }
    }
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
           "  FILE               the recording (.lgrec); written as it goes, readable if cut short\n"
           "\n"
           "exit codes: 0 recorded; 2 no such frame, the frame fell silent or left, a request got no\n"
           "            packet in its share, or the file could not be written (what was recorded\n"
           "            stays readable); 64 a bad command line\n";
}

std::vector<std::uint8_t> RecordRequests(const RecordOptions& options, const BeamSetPlan& plan) {
    std::vector<std::uint8_t> requests;
    for (RecordMode mode : options.modes)
        for (BeamSet set : plan.requested)
            requests.push_back(static_cast<std::uint8_t>(DumpAxisCode(set) | static_cast<int>(mode)));
    return requests;
}

}  // namespace check
