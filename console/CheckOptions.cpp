#include "console/CheckOptions.h"

#include <cstdint>

#include "console/CommandLine.h"
#include "text/Numbers.h"

namespace check {

namespace {

struct Range {
    unsigned nLow;
    unsigned nHigh;
};
constexpr Range kWaitRange{1, 3600};
constexpr Range kSettleRange{0, 60000};
constexpr Range kPacketRange{1, 1000};
constexpr Range kTimeoutRange{1, 3600};
constexpr Range kFlickerRange{0, 1000};
constexpr Range kMinLevelRange{1, 255 * 40};

std::string RangeText(Range range) { return std::to_string(range.nLow) + " to " + std::to_string(range.nHigh); }

std::optional<unsigned> WholeIn(const std::string& text, Range range) {
    const std::optional<std::uint64_t> v = text::ParseWhole(text);
    if (!v || *v < range.nLow || *v > range.nHigh) return std::nullopt;
    return static_cast<unsigned>(*v);
}

std::optional<double> DecimalIn(const std::string& text, Range range) {
    const std::optional<double> v = text::ParseDecimal(text);
    if (!v || *v < range.nLow || *v > range.nHigh) return std::nullopt;
    return v;
}

using console::Quoted;

const std::vector<console::OptionRule> kOptionRules = {
    {"--wait", "SECONDS"}, {"--frame", "F", true},
    {"--axes", "LIST"},    {"--settle", "MS"},
    {"--packets", "N"},    {"--timeout", "SECONDS"},
    {"--flicker", "PCT"},  {"--min-level", "L"},
    {"--json", "FILE"},    {"--junit", "FILE"},
    {"--log", "FILE"},     {"--strict", nullptr},
    {"--replay", "FILE"},  {"--version", nullptr, false, true},
};

}  // namespace

ParsedOptions ParseCheckOptions(const std::vector<std::string>& args) {
    CheckOptions options;
    const console::CommandLine line = console::ParseCommandLine(args, kOptionRules);
    options.bHelp = line.Asks("--help");
    options.bVersion = line.Asks("--version");
    if (options.bHelp || options.bVersion) return {options, {}};

    const auto refuse = [](std::string error) { return ParsedOptions{std::nullopt, std::move(error)}; };
    for (const console::CommandWord& word : line.words) {
        if (word.IsOperand()) return refuse("unexpected argument " + Quoted(word.value) + ": options start with --");
        const std::string& name = word.name;
        const std::string& text = word.value;
        const auto numberError = [&](Range range, const char* pszWhat) {
            return name + ": " + Quoted(text) + " is not " + pszWhat + " from " + RangeText(range);
        };
        if (name == "--strict") {
            options.bStrict = true;
        } else if (name == "--wait") {
            const std::optional<unsigned> v = WholeIn(text, kWaitRange);
            if (!v) return refuse(numberError(kWaitRange, "a whole number of seconds"));
            options.nWaitSeconds = *v;
        } else if (name == "--frame") {
            if (text.empty()) return refuse(name + ": give a usbindexNo or a frame name");
            options.frames.push_back(text);
        } else if (name == "--axes") {
            std::string bad;
            const std::optional<unsigned> sets = ParseBeamSetList(text, bad);
            if (!sets) return refuse(BeamSetListError(name, bad));
            options.nChosenSets = *sets;
            options.bAxesGiven = true;
        } else if (name == "--settle") {
            const std::optional<unsigned> v = WholeIn(text, kSettleRange);
            if (!v) return refuse(numberError(kSettleRange, "a whole number of milliseconds"));
            options.nSettleMs = *v;
        } else if (name == "--packets") {
            const std::optional<unsigned> v = WholeIn(text, kPacketRange);
            if (!v) return refuse(numberError(kPacketRange, "a whole number"));
            options.nPackets = *v;
        } else if (name == "--timeout") {
            const std::optional<unsigned> v = WholeIn(text, kTimeoutRange);
            if (!v) return refuse(numberError(kTimeoutRange, "a whole number of seconds"));
            options.nTimeoutSeconds = *v;
        } else if (name == "--flicker") {
            const std::optional<double> v = DecimalIn(text, kFlickerRange);
            if (!v) return refuse(numberError(kFlickerRange, "a percentage"));
            options.flickerPercent = *v;
        } else if (name == "--min-level") {
            const std::optional<unsigned> v = WholeIn(text, kMinLevelRange);
            if (!v) return refuse(numberError(kMinLevelRange, "a whole signal level"));
            options.minLevel = *v;
        } else {  // --json, --junit, --log, --replay
            if (text.empty()) return refuse(name + ": the file name is empty");
            (name == "--json"    ? options.jsonPath
             : name == "--junit" ? options.junitPath
             : name == "--log"   ? options.logPath
                                 : options.replayPath) = text;
        }
    }
    if (!line.error.empty()) return refuse(line.error);
    return {options, {}};
}

std::optional<unsigned> ParseBeamSetList(const std::string& text, std::string& bad) {
    unsigned sets = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        const std::optional<BeamSet> set = BeamSetFromName(item);
        if (!set) {
            bad = item;
            return std::nullopt;
        }
        sets |= BeamSetBit(*set);
        if (comma == std::string::npos) return sets;
        start = comma + 1;
    }
}

std::string BeamSetListError(const std::string& option, const std::string& bad) {
    return option + ": " + Quoted(bad) + " is no beam set: give a comma-separated list of OT, TL1, TR1, TL2, TR2";
}

bool FrameMatches(const std::string& selector, const std::string& name, int nUsbIndexNo) {
    if (selector == name) return true;
    const std::optional<std::uint64_t> number = text::ParseWhole(selector);
    return number && nUsbIndexNo >= 0 && *number == static_cast<std::uint64_t>(nUsbIndexNo);
}

FrameChoice ChooseFrames(const std::vector<std::string>& selectors, const std::vector<ListedFrame>& frames) {
    const auto matches = [](const std::string& selector, const ListedFrame& frame) {
        return frame.bListed && FrameMatches(selector, frame.name, frame.nUsbIndexNo);
    };
    FrameChoice choice;
    for (const std::string& selector : selectors) {
        bool bFound = false;
        for (const ListedFrame& frame : frames) bFound = bFound || matches(selector, frame);
        if (!bFound) choice.unmatched.push_back(selector);
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        bool bChosen = frames[i].bListed && selectors.empty();
        for (const std::string& selector : selectors) bChosen = bChosen || matches(selector, frames[i]);
        if (bChosen) choice.chosen.push_back(i);
    }
    return choice;
}

std::string CheckUsage(const std::string& programVersion) {
    return "LumagridCheck " + programVersion +
           ": checks connected touch frames on every beam set, unattended\n"
           "\n"
           "usage: LumagridCheck.exe [options]\n"
           "       LumagridCheck.exe sweep ...    the sweep test: a stylus along the edges (sweep --help)\n"
           "       LumagridCheck.exe record ...   records a frame's dump stream to a file (record --help)\n"
           "       LumagridCheck.exe trend ...    the trend of the daily tables (trend --help)\n"
           "\n"
           "options (--opt value or --opt=value):\n"
           "  --frame F          check frame F only: its usbindexNo or its name; may be repeated\n"
           "                     (default: every frame the device list shows)\n"
           "  --axes LIST        beam sets, comma-separated from OT,TL1,TR1,TL2,TR2 (default: all;\n"
           "                     a tilted set is measured only on an axis whose tilt is above 0)\n"
           "  --packets N        packets per beam set, " +
           RangeText(kPacketRange) +
           " (default 8)\n"
           "  --settle MS        packets ignored after each request, " +
           RangeText(kSettleRange) +
           " ms (default 100)\n"
           "  --timeout SECONDS  no packet for this long is a measurement error, " +
           RangeText(kTimeoutRange) +
           " (default 5)\n"
           "  --wait SECONDS     wait for the library's first connect message, " +
           RangeText(kWaitRange) +
           " (default 5)\n"
           "  --flicker PCT      also fail a receiver whose packets vary by more than PCT % of its\n"
           "                     median, " +
           RangeText(kFlickerRange) +
           " (default off)\n"
           "  --min-level L      also fail a receiver whose median x 40 is below L, " +
           RangeText(kMinLevelRange) +
           " (default off)\n"
           "  --json FILE        write the results as JSON\n"
           "  --junit FILE       write the results as JUnit XML\n"
           "  --log FILE         append one CSV line per frame\n"
           "  --strict           a check reduced to fewer beam sets (the frame's geometry answer\n"
           "                     failed) is an error, not a pass or a fail\n"
           "  --replay FILE      check the frame recorded in FILE (.lgrec) instead of the connected\n"
           "                     ones: simulator\\QuorvaneLib.dll plays it, the library beside the\n"
           "                     program is not loaded\n"
           "  --help             print this text\n"
           "  --version          print the version\n"
           "\n"
           "exit codes: 0 every frame passes; 1 a frame fails and every frame was measured;\n"
           "            2 no frame, a --frame that matches none, a measurement error, a file error or\n"
           "              a --replay FILE that cannot be played;\n"
           "            64 a bad command line or a MIN_ADC_O_PER in Lumagrid.ini outside 1 to 99\n";
}

}  // namespace check
