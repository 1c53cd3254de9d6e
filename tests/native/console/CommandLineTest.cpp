// The one grammar of the console tool's command lines, and each subcommand
// holding to it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "console/CheckOptions.h"
#include "console/CommandLine.h"
#include "console/RecordOptions.h"
#include "console/SweepOptions.h"
#include "console/TrendCommand.h"

namespace {

// The grammar's reading in one line: "help", the words as name=value or
// [operand], then "error: ..." when a word is refused.
std::string Reading(const std::vector<std::string>& args) {
    const std::vector<console::OptionRule> rules = {{"--n", "N"},
                                                    {"--file", "FILE"},
                                                    {"--frame", "F", true},
                                                    {"--quiet", nullptr},
                                                    {"--version", nullptr, false, true}};
    const console::CommandLine line = console::ParseCommandLine(args, rules);
    std::string text;
    for (const std::string& answer : line.answers) text += answer + " ";
    for (const console::CommandWord& word : line.words)
        text += word.IsOperand() ? "[" + word.value + "] " : word.name + "=" + word.value + " ";
    if (!line.error.empty()) text += "error: " + line.error;
    return text;
}

TEST(CommandLine, Grammar) {
    struct Case {
        std::vector<std::string> args;
        std::string reading;
    };
    const Case cases[] = {
        {{}, ""},
        {{"--n", "3", "--file=a b", "x"}, "--n=3 --file=a b [x] "},
        {{"--n="}, "--n= "},
        {{"--file=--n"}, "--file=--n "},  // after '=' anything is the value
        {{"--n", "-1"}, "--n=-1 "},       // one dash may start a value
        // Help and the answering options win over anything before "--".
        {{"--n", "x", "--bogus", "-h"}, "--help "},
        {{"--help", "--version"}, "--help --version "},
        {{"--bogus", "--version"}, "--version "},
        {{"--", "-h", "--version"}, "[-h] [--version] "},
        {{"--help=1"}, "error: --help takes no value"},
        // "--" ends the options, once.
        {{"--n", "1", "--", "--n", "--", "-"}, "--n=1 [--n] [--] [-] "},
        {{"-"}, "[-] "},
        // A value never starts with "--"; a missing one is named with what it takes.
        {{"--file", "--n", "3"}, "error: --file needs a value: --file FILE"},
        {{"--file", "--"}, "error: --file needs a value: --file FILE"},
        {{"x", "--n"}, "[x] error: --n needs a value: --n N"},
        // Repeats: refused, the repeatable one kept in order.
        {{"--n", "1", "--n=2"}, "--n=1 error: --n is given twice"},
        {{"--quiet", "--quiet"}, "--quiet= error: --quiet is given twice"},
        {{"--frame", "a", "--frame=b", "--frame", "c"}, "--frame=a --frame=b --frame=c "},
        {{"--quiet=yes"}, "error: --quiet takes no value"},
        // Unknown words that look like options; the words before them are kept.
        {{"--n", "1", "--bogus", "--n", "2"}, "--n=1 error: unknown option \"--bogus\""},
        {{"-x"}, "error: unknown option \"-x\""},
        {{"--bogus=3"}, "error: unknown option \"--bogus\""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        EXPECT_EQ(Reading(c.args), c.reading) << line;
    }
}

// Each subcommand: exit 64 for a repeated option (the check's --frame
// excepted), the usage for -h, and "--" before a word that looks like an option.
// --replay FILE is one option of the check, the sweep and the record, with the
// grammar's rules: once, a value that is no option, never empty.
TEST(CommandLine, ReplayIsOneOptionOfCheckSweepAndRecord) {
    const std::vector<std::string> record = {"--frame", "1", "--seconds", "5"};
    const auto replayOf = [&](const char* pszCommand,
                              std::vector<std::string> args) -> std::pair<std::string, std::string> {
        if (std::string(pszCommand) == "check") {
            const check::ParsedOptions p = check::ParseCheckOptions(args);
            return {p.options ? p.options->replayPath : "", p.error};
        }
        if (std::string(pszCommand) == "sweep") {
            const check::ParsedSweepOptions p = check::ParseSweepOptions(args);
            return {p.options ? p.options->replayPath : "", p.error};
        }
        args.insert(args.begin(), record.begin(), record.end());
        args.push_back("out.lgrec");
        const check::ParsedRecordOptions p = check::ParseRecordOptions(args);
        return {p.options ? p.options->replayPath : "", p.error};
    };
    for (const char* command : {"check", "sweep", "record"}) {
        SCOPED_TRACE(command);
        const std::string value = std::string(command) == "record" ? "REC" : "FILE";
        EXPECT_EQ(replayOf(command, {}).first, "");
        EXPECT_EQ(replayOf(command, {"--replay", "C:\\Hall 3\\site.lgrec"}).first, "C:\\Hall 3\\site.lgrec");
        EXPECT_EQ(replayOf(command, {"--replay=-odd.lgrec"}).first, "-odd.lgrec");
        EXPECT_EQ(replayOf(command, {"--replay", "a.lgrec", "--replay=b.lgrec"}).second, "--replay is given twice");
        EXPECT_EQ(replayOf(command, {"--replay", "--json"}).second, "--replay needs a value: --replay " + value);
        EXPECT_FALSE(replayOf(command, {"--replay="}).second.empty());
    }
}

TEST(CommandLine, EverySubcommandHoldsToIt) {
    // check
    EXPECT_EQ(check::ParseCheckOptions({"--wait", "3", "--wait", "4"}).error, "--wait is given twice");
    EXPECT_EQ(check::ParseCheckOptions({"--frame", "1", "--frame", "2"}).options->frames.size(), 2u);
    EXPECT_TRUE(check::ParseCheckOptions({"-h"}).options->bHelp);
    EXPECT_EQ(check::ParseCheckOptions({"--", "--wait"}).error,
              "unexpected argument \"--wait\": options start with --");

    // sweep
    EXPECT_EQ(check::ParseSweepOptions({"--frame", "1", "--frame", "2"}).options->frames.size(), 2u);
    EXPECT_EQ(check::ParseSweepOptions({"--drop", "40", "--drop=60"}).error, "--drop is given twice");
    EXPECT_TRUE(check::ParseSweepOptions({"--drop", "0", "-h"}).options->bHelp);
    EXPECT_EQ(check::ParseSweepOptions({"--log"}).error, "--log needs a value: --log FILE");

    // record
    const std::vector<std::string> record = {"--frame", "1", "--seconds", "5"};
    const auto recordWith = [&](std::vector<std::string> more) {
        std::vector<std::string> args = record;
        args.insert(args.end(), more.begin(), more.end());
        return check::ParseRecordOptions(args);
    };
    for (const char* repeated : {"--frame", "--seconds"})
        EXPECT_EQ(recordWith({repeated, "2", "a.lgrec"}).error, std::string(repeated) + " is given twice");
    EXPECT_EQ(recordWith({"--modes", "ir", "--modes=maximal", "a.lgrec"}).error, "--modes is given twice");
    EXPECT_EQ(recordWith({"--axes=OT", "--axes", "TL1", "a.lgrec"}).error, "--axes is given twice");
    EXPECT_TRUE(check::ParseRecordOptions({"-h"}).options->bHelp);
    EXPECT_TRUE(check::ParseRecordOptions({"--frame", "1", "-h", "--bogus"}).options->bHelp);
    EXPECT_EQ(recordWith({"--", "--seconds.lgrec"}).options->file, "--seconds.lgrec");
    EXPECT_EQ(recordWith({"-x.lgrec"}).error, "unknown option \"-x.lgrec\"");
    EXPECT_EQ(recordWith({"--wait"}).error, "--wait needs a value: --wait SECONDS");

    // trend
    const auto trend = [](const std::vector<std::string>& args, std::string* pErr = nullptr) {
        check::TrendEnvironment env;
        env.readFile = [](const std::string&, std::string&, std::string& error) {
            error = "not here";
            return false;
        };
        std::ostringstream out, err;
        const int code = check::RunTrendCommand(args, env, out, err);
        if (pErr) *pErr = err.str();
        return code;
    };
    std::string err;
    for (const char* repeated : {"--days", "--horizon", "--drop", "--threshold", "--csv", "--svg"}) {
        EXPECT_EQ(trend({"t_1.txt", repeated, "5", std::string(repeated) + "=6"}, &err), 64) << repeated;
        EXPECT_NE(err.find(std::string(repeated) + " is given twice"), std::string::npos) << err;
    }
    EXPECT_EQ(trend({"-h", "--days", "0"}), 0);
    EXPECT_EQ(trend({"--", "--days"}, &err), 2);  // a table named "--days", not found
    EXPECT_NE(err.find("cannot read --days"), std::string::npos) << err;
    EXPECT_EQ(check::TrendSettingUseOf({"t_1.txt", "-h"}), check::TrendSettingUse::Shown);
    EXPECT_EQ(check::TrendSettingUseOf({"t_1.txt", "--threshold=20"}), check::TrendSettingUse::Unused);
    EXPECT_EQ(check::TrendSettingUseOf({"--", "--threshold=20"}), check::TrendSettingUse::Default);
    EXPECT_EQ(check::TrendSettingUseOf({"--", "-h"}), check::TrendSettingUse::Default);
}

}  // namespace
