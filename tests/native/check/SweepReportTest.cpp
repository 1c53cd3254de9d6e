// The sweep test's outputs: the text block, the log line and the exit code by
// their bytes, the JSON's fields by a parser (readers in tests/readers/check).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check/CheckReport.h"

namespace {

using namespace check;

SweepFault Fault(Axis axis, SweepPart part, long long from, long long to, long long module = 0,
                 long long position = 0) {
    SweepFault f;
    f.axis = axis;
    f.part = part;
    f.from = from;
    f.to = to;
    f.module = module;
    f.position = position;
    return f;
}

SweepSetOutcome Set(Verdict verdict, std::vector<SweepFault> faults, std::size_t nSeenX = 96, std::size_t nSeenY = 64) {
    SweepSetOutcome s;
    s.nCells[0] = 96;
    s.nCells[1] = 64;
    s.progress.axes[0] = {true, 95, nSeenX, false};
    s.progress.axes[1] = {true, 64, nSeenY, false};
    s.result.verdict = verdict;
    s.result.faults = std::move(faults);
    return s;
}

SweepFrameVerdict Frame(const std::string& name, std::vector<SweepSetOutcome> sets, const std::string& error = {}) {
    SweepFrameVerdict v;
    v.name = name;
    v.nUsbIndexNo = 4;
    v.geometry = {{96, 16, 0, 0}, {64, 16, 0, 0}};
    v.sets = std::move(sets);
    v.error = error;
    return v;
}

// A stuck X receiver, a stretch of Y nobody swept, a low X receiver.
SweepFrameVerdict Failed() {
    return Frame("Bench, left",
                 {Set(Verdict::Fail,
                      {Fault(Axis::X, SweepPart::Low, 3, 3, 1, 3), Fault(Axis::X, SweepPart::Stuck, 34, 34, 3, 2),
                       Fault(Axis::Y, SweepPart::NotSwept, 1, 6)},
                      93, 58)});
}

TEST(SweepReport, ExitCodeErrorOverFailOverPass) {
    const SweepFrameVerdict pass = Frame("A", {Set(Verdict::Pass, {})}), fail = Failed();
    SweepFrameVerdict cut = Frame("C", {Set(Verdict::Pass, {}), Set(Verdict::Error, {})}, "TL1 sweep: the frame left");
    const SweepFrameVerdict setError = Frame("D", {Set(Verdict::Fail, {}), Set(Verdict::Error, {})});
    const SweepFrameVerdict nothing = Frame("E", {});  // no set swept is no pass
    struct Case {
        std::vector<SweepFrameVerdict> frames;
        std::string runError;
        bool bFileError;
        int code;
    };
    for (const Case& c : {Case{{pass}, "", false, 0}, Case{{pass, fail}, "", false, 1}, Case{{fail, cut}, "", false, 2},
                          Case{{setError}, "", false, 2}, Case{{nothing}, "", false, 2}, Case{{}, "", false, 2},
                          Case{{pass}, "interrupted (Ctrl+C)", false, 2}, Case{{fail}, "", true, 2}})
        EXPECT_EQ(SweepExitCode(c.frames, c.runError, c.bFileError), c.code)
            << c.frames.size() << " " << c.runError << " " << c.bFileError;
}

TEST(SweepReport, TextBlockAndLogLineNameTheFaults) {
    EXPECT_EQ(SweepReportText(Failed()),
              "Frame \"Bench, left\"  usbindexNo 4\n"
              "  X: 96 cells, modules of 16, tilts 0 0\n"
              "  Y: 64 cells, modules of 16, tilts 0 0\n"
              "  sweep OT: X 93/95 seen  Y 58/64 seen  FAIL\n"
              "    X low R:3  R module 1 position 3\n"
              "    X stuck R:34  R module 3 position 2\n"
              "    Y not-swept R:1-R:6\n"
              "  FAIL\n");
    // The log keeps the check's six columns and names its test in a seventh.
    EXPECT_EQ(SweepLogLine("t", Failed()),
              "t,\"Bench, left\",4,fail,X low R:3; X stuck R:34; Y not-swept R:1-R:6,,sweep\r\n");
    SweepFrameVerdict missing = Frame("7", {}, "no listed frame matches --frame 7");
    missing.nUsbIndexNo = -1;
    EXPECT_EQ(SweepLogLine("t", missing), "t,7,,error,,no listed frame matches --frame 7,sweep\r\n");
    EXPECT_EQ(RunLogLine("t", "no frame connected", kSweepTest), "t,,,error,,no frame connected,sweep\r\n");
}

TEST(SweepReport, JsonNamesTheTestAndEachFaultByItsPart) {
    SweepRunInfo run;
    run.settings.timeLimitSeconds = 12.5;
    run.nChosenSets = BeamSetBit(BeamSet::OT) | BeamSetBit(BeamSet::TL1);
    const nlohmann::json j = nlohmann::json::parse(SweepJsonReport(run, {Failed()}));
    EXPECT_EQ(j["test"], "sweep");
    EXPECT_EQ(j["verdict"], "fail");
    EXPECT_EQ(j["settings"]["timeLimitSeconds"], 12.5);
    EXPECT_EQ(j["settings"]["axes"], nlohmann::json::array({"OT", "TL1"}));
    const nlohmann::json& frame = j["frames"][0];
    EXPECT_EQ(frame["sweeps"][0]["axes"][0],
              nlohmann::json({{"axis", "X"}, {"receivers", 96}, {"expected", 95}, {"seen", 93}}));
    const nlohmann::json& faults = frame["faults"];
    ASSERT_EQ(faults.size(), 3u);
    EXPECT_EQ(faults[1]["part"], "stuck");
    EXPECT_EQ(faults[1]["receiver"], 34);
    EXPECT_EQ(faults[1]["receiverModule"], 3);
    EXPECT_TRUE(faults[1]["from"].is_null());
    EXPECT_EQ(faults[2]["part"], "not-swept");
    EXPECT_EQ(faults[2]["axis"], "Y");
    EXPECT_EQ(faults[2]["from"], 1);
    EXPECT_EQ(faults[2]["to"], 6);
    EXPECT_TRUE(faults[2]["receiver"].is_null());
    // The check's JSON says which test it is too.
    EXPECT_EQ(nlohmann::json::parse(JsonReport(RunInfo{}, {}))["test"], "check");
}

TEST(SweepReport, JunitHasASuitePerFrameAndACasePerSet) {
    const std::string xml = SweepJunitReport(SweepRunInfo{}, {Failed(), Frame("B", {Set(Verdict::Pass, {})}),
                                                              Frame("C", {}, "OT sweep: no packet within 5 s")});
    EXPECT_NE(xml.find("<testsuites name=\"LumagridCheck \" tests=\"3\" failures=\"1\" errors=\"1\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<failure message=\"X low R:3; X stuck R:34; Y not-swept R:1-R:6\" type=\"not interrupted\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testcase classname=\"B (usbindexNo 4)\" name=\"OT\" time=\"0\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<error message=\"OT sweep: no packet within 5 s\""), std::string::npos) << xml;
}

}  // namespace
