#include "check/CheckOptions.h"

#include <cstdint>
#include <functional>

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

// Plain decimal digits, optionally with one decimal point (bDecimal); no sign, no blanks.
std::optional<double> ParseNumber(const std::string& text, bool bDecimal) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    double value = 0.0, scale = 0.0;
    bool bDigit = false;
    for (char c : text) {
        if (c == '.' && bDecimal && scale == 0.0) {
            scale = 1.0;
        } else if (c >= '0' && c <= '9') {
            bDigit = true;
            if (scale == 0.0) {
                value = value * 10 + (c - '0');
            } else {
                scale /= 10;
                value += (c - '0') * scale;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!bDigit) return std::nullopt;
    return value;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

ParsedOptions ParseCheckOptions(const std::vector<std::string>& args) {
    CheckOptions options;
    for (const std::string& arg : args) {
        if (arg == "--help") options.bHelp = true;
        if (arg == "--version") options.bVersion = true;
    }
    if (options.bHelp || options.bVersion) return {options, {}};

    std::vector<std::string> given;
    const auto refuse = [](std::string error) { return ParsedOptions{std::nullopt, std::move(error)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0)
            return refuse("unexpected argument " + Quoted(arg) + ": options start with --");
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos) value = arg.substr(equals + 1);
        if (name == "--strict") {
            if (value) return refuse("--strict takes no value");
            if (options.bStrict) return refuse("--strict is given twice");
            options.bStrict = true;
            continue;
        }

        // What the option takes; the handler stores it and returns an error text or "".
        struct Known {
            const char* pszName;
            const char* pszValue;
            std::function<std::string(const std::string&)> store;
        };
        const auto number = [&name](Range range, bool bDecimal, const char* pszWhat,
                                    std::function<void(double)> set) {
            return [=](const std::string& text) -> std::string {
                const std::optional<double> v = ParseNumber(text, bDecimal);
                if (!v || *v < range.nLow || *v > range.nHigh)
                    return name + ": " + Quoted(text) + " is not " + pszWhat + " from " + RangeText(range);
                set(*v);
                return {};
            };
        };
        const auto path = [&name](std::string& target) {
            return [&name, &target](const std::string& text) -> std::string {
                if (text.empty()) return name + ": the file name is empty";
                target = text;
                return {};
            };
        };
        const Known known[] = {
            {"--wait", "SECONDS",
             number(kWaitRange, false, "a whole number of seconds", [&](double v) { options.nWaitSeconds = unsigned(v); })},
            {"--frame", "F",
             [&](const std::string& text) -> std::string {
                 if (text.empty()) return name + ": give a usbindexNo or a frame name";
                 options.frames.push_back(text);
                 return {};
             }},
            {"--axes", "LIST",
             [&](const std::string& text) -> std::string {
                 unsigned sets = 0;
                 std::size_t start = 0;
                 while (true) {
                     const std::size_t comma = text.find(',', start);
                     const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
                     const std::optional<BeamSet> set = BeamSetFromName(item);
                     if (!set)
                         return name + ": " + Quoted(item) +
                                " is no beam set: give a comma-separated list of OT, TL1, TR1, TL2, TR2";
                     sets |= BeamSetBit(*set);
                     if (comma == std::string::npos) break;
                     start = comma + 1;
                 }
                 options.nChosenSets = sets;
                 options.bAxesGiven = true;
                 return {};
             }},
            {"--settle", "MS",
             number(kSettleRange, false, "a whole number of milliseconds", [&](double v) { options.nSettleMs = unsigned(v); })},
            {"--packets", "N",
             number(kPacketRange, false, "a whole number", [&](double v) { options.nPackets = unsigned(v); })},
            {"--timeout", "SECONDS",
             number(kTimeoutRange, false, "a whole number of seconds", [&](double v) { options.nTimeoutSeconds = unsigned(v); })},
            {"--flicker", "PCT",
             number(kFlickerRange, true, "a percentage", [&](double v) { options.flickerPercent = v; })},
            {"--min-level", "L",
             number(kMinLevelRange, false, "a whole signal level", [&](double v) { options.minLevel = unsigned(v); })},
            {"--json", "FILE", path(options.jsonPath)},
            {"--junit", "FILE", path(options.junitPath)},
            {"--log", "FILE", path(options.logPath)},
        };

        const Known* option = nullptr;
        for (const Known& k : known)
            if (name == k.pszName) option = &k;
        if (option == nullptr) return refuse("unknown option " + Quoted(name));
        if (name != "--frame") {
            for (const std::string& earlier : given)
                if (earlier == name) return refuse(name + " is given twice");
            given.push_back(name);
        }
        if (!value) {
            // A following option is not taken for the value: "--json --log x" lacks its FILE.
            if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0)
                return refuse(name + " needs a value: " + name + " " + option->pszValue);
            value = args[++i];
        }
        std::string error = option->store(*value);
        if (!error.empty()) return refuse(std::move(error));
    }
    return {options, {}};
}

std::optional<int> ParseThresholdPercent(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(" \t");
    const std::optional<double> value = ParseNumber(text.substr(first, last - first + 1), false);
    if (!value || *value < kThresholdLow || *value > kThresholdHigh) return std::nullopt;
    return static_cast<int>(*value);
}

DiagnosisSettings SettingsOf(const CheckOptions& options, int nThresholdPercent) {
    DiagnosisSettings settings;
    settings.nThresholdPercent = nThresholdPercent;
    settings.nChosenSets = options.nChosenSets;
    settings.flickerPercent = options.flickerPercent;
    settings.minLevel = options.minLevel;
    return settings;
}

bool FrameMatches(const std::string& selector, const std::string& name, int nUsbIndexNo) {
    if (selector == name) return true;
    const std::optional<double> number = ParseNumber(selector, false);
    return number && nUsbIndexNo >= 0 && *number == static_cast<double>(nUsbIndexNo);
}

std::string CheckUsage(const std::string& programVersion) {
    return "LumagridCheck " + programVersion +
           ": checks connected touch frames on every beam set, unattended\n"
           "\n"
           "usage: LumagridCheck.exe [options]\n"
           "       LumagridCheck.exe record ...   records a frame's dump stream to a file (record --help)\n"
           "       LumagridCheck.exe trend ...    the trend of the daily tables (trend --help)\n"
           "\n"
           "options (--opt value or --opt=value):\n"
           "  --frame F          check frame F only: its usbindexNo or its name; may be repeated\n"
           "                     (default: every frame the device list shows)\n"
           "  --axes LIST        beam sets, comma-separated from OT,TL1,TR1,TL2,TR2 (default: all;\n"
           "                     a tilted set is measured only on an axis whose tilt is above 0)\n"
           "  --packets N        packets per beam set, " + RangeText(kPacketRange) + " (default 8)\n"
           "  --settle MS        packets ignored after each request, " + RangeText(kSettleRange) +
           " ms (default 100)\n"
           "  --timeout SECONDS  no packet for this long is a measurement error, " + RangeText(kTimeoutRange) +
           " (default 5)\n"
           "  --wait SECONDS     wait for the library's first connect message, " + RangeText(kWaitRange) +
           " (default 5)\n"
           "  --flicker PCT      also fail a receiver whose packets vary by more than PCT % of its\n"
           "                     median, " + RangeText(kFlickerRange) + " (default off)\n"
           "  --min-level L      also fail a receiver whose median x 40 is below L, " + RangeText(kMinLevelRange) +
           " (default off)\n"
           "  --json FILE        write the results as JSON\n"
           "  --junit FILE       write the results as JUnit XML\n"
           "  --log FILE         append one CSV line per frame\n"
           "  --strict           a check reduced to fewer beam sets (the frame's geometry answer\n"
           "                     failed) is an error, not a pass or a fail\n"
           "  --help             print this text\n"
           "  --version          print the version\n"
           "\n"
           "exit codes: 0 every frame passes; 1 a frame fails and every frame was measured;\n"
           "            2 no frame, a --frame that matches none, a measurement error or a file error;\n"
           "            64 a bad command line or a MIN_ADC_O_PER in Lumagrid.ini outside 1 to 99\n";
}

}  // namespace check
