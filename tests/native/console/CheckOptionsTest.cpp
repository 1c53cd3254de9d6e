#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "console/CheckOptions.h"

namespace {

using namespace check;

// The options a command line gives, in one line, or "error: " and the refusal.
std::string Outcome(const std::vector<std::string>& args) {
    const ParsedOptions parsed = ParseCheckOptions(args);
    if (!parsed.options) return "error: " + parsed.error;
    const CheckOptions& o = *parsed.options;
    std::string text = "wait=" + std::to_string(o.nWaitSeconds) + " sets=" + std::to_string(o.nChosenSets) +
                       " settle=" + std::to_string(o.nSettleMs) + " packets=" + std::to_string(o.nPackets) +
                       " timeout=" + std::to_string(o.nTimeoutSeconds);
    for (const std::string& f : o.frames) text += " frame=" + f;
    if (o.flickerPercent) text += " flicker=" + std::to_string(*o.flickerPercent);
    if (o.minLevel) text += " min=" + std::to_string(*o.minLevel);
    if (!o.jsonPath.empty()) text += " json=" + o.jsonPath;
    if (!o.junitPath.empty()) text += " junit=" + o.junitPath;
    if (!o.logPath.empty()) text += " log=" + o.logPath;
    if (o.bStrict) text += " strict";
    if (o.bHelp) text += " help";
    if (o.bVersion) text += " version";
    return text;
}

TEST(CheckOptions, CommandLines) {
    const std::string defaults = "wait=5 sets=31 settle=100 packets=8 timeout=5";
    struct Case {
        std::vector<std::string> args;
        std::string outcome;
    };
    const Case cases[] = {
        {{}, defaults},
        {{"--wait", "10", "--settle=0", "--packets", "1000", "--timeout=3600"},
         "wait=10 sets=31 settle=0 packets=1000 timeout=3600"},
        {{"--frame", "3", "--frame=Quorvane IR96/SN-1001", "--frame", "a=b"},
         defaults + " frame=3 frame=Quorvane IR96/SN-1001 frame=a=b"},
        {{"--axes", "OT,tl1,TR2"}, "wait=5 sets=19 settle=100 packets=8 timeout=5"},
        {{"--flicker", "12.5", "--min-level=1000"}, defaults + " flicker=12.500000 min=1000"},
        {{"--json", "out.json", "--junit=r.xml", "--log", "C:\\logs\\check.csv"},
         defaults + " json=out.json junit=r.xml log=C:\\logs\\check.csv"},
        {{"--packets", "0", "--help"}, defaults + " help"},
        {{"--version"}, defaults + " version"},
        {{"--strict"}, defaults + " strict"},
        {{"--strict=yes"}, "error: --strict takes no value"},
        {{"--strict", "--strict"}, "error: --strict is given twice"},
        {{"--packets", "0"}, "error: --packets: \"0\" is not a whole number from 1 to 1000"},
        {{"--packets=-3"}, "error: --packets: \"-3\" is not a whole number from 1 to 1000"},
        {{"--wait", "99999999999999999999"},
         "error: --wait: \"99999999999999999999\" is not a whole number of seconds from 1 to 3600"},
        {{"--settle", "1.5"}, "error: --settle: \"1.5\" is not a whole number of milliseconds from 0 to 60000"},
        {{"--timeout", "0"}, "error: --timeout: \"0\" is not a whole number of seconds from 1 to 3600"},
        {{"--flicker", "1000.1"}, "error: --flicker: \"1000.1\" is not a percentage from 0 to 1000"},
        {{"--min-level", "10201"}, "error: --min-level: \"10201\" is not a whole signal level from 1 to 10200"},
        {{"--axes", "OT,,TL1"},
         "error: --axes: \"\" is no beam set: give a comma-separated list of OT, TL1, TR1, TL2, TR2"},
        {{"--axes=TL3"},
         "error: --axes: \"TL3\" is no beam set: give a comma-separated list of OT, TL1, TR1, TL2, TR2"},
        {{"--packets"}, "error: --packets needs a value: --packets N"},
        {{"--json", "--log", "x"}, "error: --json needs a value: --json FILE"},
        {{"--json="}, "error: --json: the file name is empty"},
        {{"--packets", "4", "--packets=5"}, "error: --packets is given twice"},
        {{"--verbose"}, "error: unknown option \"--verbose\""},
        {{"record"}, "error: unexpected argument \"record\": options start with --"},
        {{"-h"}, defaults + " help"},
        {{"--wait", "3", "--", "--help"}, "error: unexpected argument \"--help\": options start with --"},
        {{"--wait", "0000000007"}, "wait=7 sets=31 settle=100 packets=8 timeout=5"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        EXPECT_EQ(Outcome(c.args), c.outcome) << line;
    }
}

// The JSON report repeats the limit and the diagnosis compares against it:
// "0.3" must be the double nearest 0.3, not 3 x 0.1 (0.30000000000000004).
TEST(CheckOptions, FlickerLimitIsTheNumberTyped) {
    for (const auto& [text, value] :
         {std::pair{"0.3", 0.3}, std::pair{".7", 0.7}, std::pair{"999.9", 999.9}, std::pair{"5.", 5.0}}) {
        const ParsedOptions parsed = ParseCheckOptions({"--flicker", text});
        ASSERT_TRUE(parsed.options) << text << ": " << parsed.error;
        EXPECT_EQ(*parsed.options->flickerPercent, value) << text;
    }
}

TEST(CheckOptions, FrameSelectorIsANameOrAUsbIndex) {
    EXPECT_TRUE(FrameMatches("Quorvane IR96/SN-1001", "Quorvane IR96/SN-1001", 0));
    EXPECT_TRUE(FrameMatches("7", "Bench", 7));
    EXPECT_TRUE(FrameMatches("7", "7", 3));  // a name of digits
    EXPECT_FALSE(FrameMatches("07x", "Bench", 7));
    EXPECT_FALSE(FrameMatches("quorvane ir96/sn-1001", "Quorvane IR96/SN-1001", 0));
    EXPECT_FALSE(FrameMatches("", "Bench", 0));
}

TEST(CheckOptionsTest, ChooseFramesTakesListedFramesInListOrderOnceAndNamesTheMissing) {
    const std::vector<ListedFrame> list = {
        {"Bench", 7, true}, {"Gone", 8, false}, {"Bench", 9, true}, {"Hall", 3, true}};
    struct Case {
        const char* name;
        std::vector<std::string> selectors;
        std::vector<std::size_t> chosen;
        std::vector<std::string> unmatched;
    };
    const Case cases[] = {
        {"no --frame: every listed one", {}, {0, 2, 3}, {}},
        {"list order, not the order given", {"Hall", "7"}, {0, 3}, {}},
        {"a name two frames share chooses both", {"Bench"}, {0, 2}, {}},
        {"one frame named twice is taken once", {"Bench", "9"}, {0, 2}, {}},
        {"an unlisted frame is missing", {"Gone", "8"}, {}, {"Gone", "8"}},
        {"the missing in the order given, repeats kept", {"x", "Hall", "y", "x"}, {3}, {"x", "y", "x"}},
    };
    for (const Case& c : cases) {
        const FrameChoice choice = ChooseFrames(c.selectors, list);
        EXPECT_EQ(choice.chosen, c.chosen) << c.name;
        EXPECT_EQ(choice.unmatched, c.unmatched) << c.name;
    }
}

}  // namespace
