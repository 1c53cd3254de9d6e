#include "console/SweepOptions.h"

#include <cstdint>

#include "console/CheckOptions.h"
#include "console/CommandLine.h"
#include "text/Numbers.h"

namespace check {

namespace {

// The same bounds as the check's options of the same names.
constexpr unsigned kMaxPackets = 1000;
constexpr unsigned kMaxTimeout = 3600;
constexpr double kMaxTimeLimit = 3600.0;
// A drop to 0 % or 100 % of the baseline would make every packet, or none, a touch.
constexpr double kMinDrop = 1.0;
constexpr double kMaxDrop = 99.0;

const std::vector<console::OptionRule> kOptionRules = {
    {"--frame", "F", true}, {"--time-limit", "SECONDS"}, {"--timeout", "SECONDS"}, {"--drop", "PCT"},
    {"--packets", "N"},     {"--axes", "LIST"},          {"--json", "FILE"},       {"--junit", "FILE"},
    {"--log", "FILE"},      {"--replay", "FILE"},
};

}  // namespace

ParsedSweepOptions ParseSweepOptions(const std::vector<std::string>& args) {
    SweepOptions options;
    const console::CommandLine line = console::ParseCommandLine(args, kOptionRules);
    options.bHelp = line.Asks("--help");
    if (options.bHelp) return {options, {}};

    const auto refuse = [](std::string error) { return ParsedSweepOptions{std::nullopt, std::move(error)}; };
    for (const console::CommandWord& word : line.words) {
        if (word.IsOperand())
            return refuse("unexpected argument " + console::Quoted(word.value) + ": options start with --");
        const std::string& name = word.name;
        const std::string& text = word.value;
        const auto notIn = [&](const std::string& what) {
            return name + ": " + console::Quoted(text) + " is not " + what;
        };
        if (name == "--frame") {
            if (text.empty()) return refuse(name + ": give a usbindexNo or a frame name");
            options.frames.push_back(text);
        } else if (name == "--axes") {
            std::string bad;
            const std::optional<unsigned> sets = ParseBeamSetList(text, bad);
            if (!sets) return refuse(BeamSetListError(name, bad));
            options.nChosenSets = *sets;
        } else if (name == "--time-limit") {
            const std::optional<double> v = text::ParseDecimal(text);
            if (!v || *v <= 0.0 || *v > kMaxTimeLimit) return refuse(notIn("a number of seconds above 0 up to 3600"));
            options.timeLimitSeconds = *v;
        } else if (name == "--drop") {
            const std::optional<double> v = text::ParseDecimal(text);
            if (!v || *v < kMinDrop || *v > kMaxDrop) return refuse(notIn("a percentage from 1 to 99"));
            options.dropPercent = *v;
        } else if (name == "--timeout" || name == "--packets") {
            const unsigned nMax = name == "--timeout" ? kMaxTimeout : kMaxPackets;
            const std::optional<std::uint64_t> v = text::ParseWhole(text);
            if (!v || *v < 1 || *v > nMax)
                return refuse(
                    notIn((name == "--timeout" ? "a whole number of seconds from 1 to " : "a whole number from 1 to ") +
                          std::to_string(nMax)));
            (name == "--timeout" ? options.nTimeoutSeconds : options.nPackets) = static_cast<unsigned>(*v);
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

std::string SweepUsage(const std::string& programVersion) {
    return "LumagridCheck " + programVersion +
           ": the sweep test, is every beam seen interrupted when a stylus passes?\n"
           "\n"
           "usage: LumagridCheck.exe sweep [options]\n"
           "\n"
           "Frames one after another, each at once: its baseline (do not touch the frame),\n"
           "then the prompt to sweep a stylus along one X edge and one Y edge, and the\n"
           "progress on stderr until every receiver was seen interrupted or the time limit.\n"
           "\n"
           "options (--opt value or --opt=value):\n"
           "  --frame F            sweep frame F only: its usbindexNo or its name; may be repeated\n"
           "                       (default: every frame the device list shows)\n"
           "  --axes LIST          beam sets, comma-separated from OT,TL1,TR1,TL2,TR2, one sweep\n"
           "                       each (default: OT)\n"
           "  --time-limit SECONDS the sweep of a set ends in FAIL after this long from its prompt,\n"
           "                       above 0 up to 3600, decimals allowed (default 30)\n"
           "  --timeout SECONDS    no packet for this long is a measurement error, 1 to 3600\n"
           "                       (default 5)\n"
           "  --drop PCT           a receiver is interrupted below PCT % of its baseline, 1 to 99\n"
           "                       (default 50)\n"
           "  --packets N          untouched packets of the baseline, 1 to 1000 (default 8)\n"
           "  --json FILE          write the results as JSON\n"
           "  --junit FILE         write the results as JUnit XML\n"
           "  --log FILE           append one CSV line per frame\n"
           "  --replay FILE        sweep the frame recorded in FILE (.lgrec) instead of the connected\n"
           "                       ones: simulator\\QuorvaneLib.dll plays it, the library beside the\n"
           "                       program is not loaded\n"
           "  --help               print this text\n"
           "\n"
           "exit codes: 0 every frame passes; 1 a frame fails and every frame was swept;\n"
           "            2 no frame, a --frame that matches none, a frame that left or went silent,\n"
           "              an interruption, a file error or a --replay FILE that cannot be played;\n"
           "            64 a bad command line or a MIN_ADC_O_PER in Lumagrid.ini outside 1 to 99\n";
}

}  // namespace check
