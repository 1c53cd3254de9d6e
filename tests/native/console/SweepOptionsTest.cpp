#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/SweepOptions.h"

namespace {

using namespace check;

// The options a command line gives, in one line, or "error: " and the refusal.
std::string Outcome(const std::vector<std::string>& args) {
    const ParsedSweepOptions parsed = ParseSweepOptions(args);
    if (!parsed.options) return "error: " + parsed.error;
    const SweepOptions& o = *parsed.options;
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "sets=%u limit=%g timeout=%u drop=%g packets=%u", o.nChosenSets,
                  o.timeLimitSeconds, o.nTimeoutSeconds, o.dropPercent, o.nPackets);
    std::string text = numbers;
    for (const std::string& f : o.frames) text += " frame=" + f;
    if (!o.jsonPath.empty()) text += " json=" + o.jsonPath;
    if (!o.junitPath.empty()) text += " junit=" + o.junitPath;
    if (!o.logPath.empty()) text += " log=" + o.logPath;
    if (o.bHelp) text += " help";
    return text;
}

TEST(SweepOptions, CommandLines) {
    const std::string defaults = "sets=1 limit=30 timeout=5 drop=50 packets=8";
    struct Case {
        std::vector<std::string> args;
        std::string outcome;
    };
    const Case cases[] = {
        {{}, defaults},
        {{"--time-limit", "0.5", "--timeout=3600", "--drop", "1", "--packets", "1000"},
         "sets=1 limit=0.5 timeout=3600 drop=1 packets=1000"},
        {{"--time-limit=3600", "--drop=99", "--packets=1", "--timeout", "1"},
         "sets=1 limit=3600 timeout=1 drop=99 packets=1"},
        {{"--axes", "tl1,OT", "--frame", "3", "--frame=Bench A"},
         "sets=3 limit=30 timeout=5 drop=50 packets=8 frame=3 frame=Bench A"},
        {{"--json", "s.json", "--junit=s.xml", "--log", "C:\\logs\\station.csv"},
         defaults + " json=s.json junit=s.xml log=C:\\logs\\station.csv"},
        {{"--drop", "0", "--help"}, defaults + " help"},
        {{"--time-limit", "0"}, "error: --time-limit: \"0\" is not a number of seconds above 0 up to 3600"},
        {{"--time-limit", "3600.1"}, "error: --time-limit: \"3600.1\" is not a number of seconds above 0 up to 3600"},
        {{"--drop", "0.9"}, "error: --drop: \"0.9\" is not a percentage from 1 to 99"},
        {{"--drop", "99.5"}, "error: --drop: \"99.5\" is not a percentage from 1 to 99"},
        {{"--timeout", "0"}, "error: --timeout: \"0\" is not a whole number of seconds from 1 to 3600"},
        {{"--packets", "1001"}, "error: --packets: \"1001\" is not a whole number from 1 to 1000"},
        {{"--axes", "OT,TL3"},
         "error: --axes: \"TL3\" is no beam set: give a comma-separated list of OT, TL1, TR1, TL2, TR2"},
        // The leftmost fault is the one named.
        {{"--drop", "x", "--verbose"}, "error: --drop: \"x\" is not a percentage from 1 to 99"},
        {{"--strict"}, "error: unknown option \"--strict\""},
        {{"--version"}, "error: unknown option \"--version\""},
        {{"--time-limit", "5", "--time-limit", "6"}, "error: --time-limit is given twice"},
        {{"OT"}, "error: unexpected argument \"OT\": options start with --"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        EXPECT_EQ(Outcome(c.args), c.outcome) << line;
    }
}

}  // namespace
