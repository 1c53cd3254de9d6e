// The bytes of the outputs that are ours alone (text block, log line, exit
// code); the JSON and JUnit files are read by real parsers in tests/readers/check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/CheckReport.h"

namespace {

using namespace check;

FrameVerdict Frame(const std::string& name, std::vector<Fault> faults = {}, const std::string& error = {}) {
    FrameVerdict v;
    v.name = name;
    v.nUsbIndexNo = 4;
    v.geometry = {{96, 16, 3, 5}, {64, 0, 0, 0}};
    v.faults = std::move(faults);
    v.error = error;
    return v;
}

Fault Receiver(long long r) {
    Fault f;
    f.part = Part::Receiver;
    f.receiver = r;
    f.receiverModule = (r + 15) / 16;
    f.receiverPosition = r % 16;
    return f;
}

TEST(CheckReport, ExitCodeNeverCallsAnIncompleteCheckAFail) {
    const FrameVerdict pass = Frame("A"), fail = Frame("B", {Receiver(3)}), error = Frame("C", {}, "timeout");
    struct Case {
        std::vector<FrameVerdict> frames;
        std::string runError;
        bool bFileError;
        int code;
    };
    for (const Case& c :
         {Case{{pass}, "", false, 0}, Case{{pass, fail}, "", false, 1}, Case{{fail, error}, "", false, 2},
          Case{{error, fail}, "", false, 2}, Case{{error, pass}, "", false, 2}, Case{{}, "", false, 2},
          Case{{pass}, "frame 9 not found", false, 2}, Case{{pass}, "", true, 2}, Case{{fail}, "", true, 2}})
        EXPECT_EQ(ExitCode(c.frames, c.runError, c.bFileError), c.code) << c.frames.size() << " " << c.runError;
}

TEST(CheckReport, TextBlockNamesPartsModulesAndVerdict) {
    FrameVerdict v = Frame("IR96", {Receiver(41)});
    Fault beam;
    beam.part = Part::Beam;
    beam.set = BeamSet::TL1;
    beam.led = 23;
    beam.receiver = 20;
    beam.ledModule = 2;
    beam.ledPosition = 7;
    beam.receiverModule = 2;
    beam.receiverPosition = 4;
    beam.level = 760;
    v.faults.push_back(beam);
    Fault dark;
    dark.axis = Axis::Y;
    dark.part = Part::AxisDark;
    dark.set = BeamSet::OT;
    v.faults.push_back(dark);
    v.sets = {{Axis::X, BeamSet::OT, false, 3720.0f, 1227, {}}, {Axis::Y, BeamSet::OT, true, 0.0f, 0, {}}};
    EXPECT_EQ(FrameReportText(v),
              "Frame \"IR96\"  usbindexNo 4\n"
              "  X: 96 cells, modules of 16, tilts 3 5\n"
              "  Y: 64 cells, no modules, tilts 0 0\n"
              "  beam sets (signal units):\n"
              "    X OT   average 3720  cutline 1227  low 0\n"
              "    Y OT   dark: every receiver reads 0\n"
              "  faulty parts:\n"
              "    X receiver R:41  R module 3 position 9  level 0\n"
              "    X beam TL1 S:23 R:20  S module 2 position 7  R module 2 position 4  level 760\n"
              "    Y axis-dark OT\n"
              "  FAIL\n");
    const std::string error = FrameReportText(Frame("C", {}, "no packet within 5 s"));
    EXPECT_EQ(error.substr(error.find("  error")), "  error: no packet within 5 s\n  ERROR\n");

    FrameVerdict missing = Frame("7", {}, "no listed frame matches --frame 7");
    missing.nUsbIndexNo = -1;
    EXPECT_EQ(FrameReportText(missing),
              "Frame \"7\"  not listed\n  error: no listed frame matches --frame 7\n  ERROR\n");
    FrameVerdict reduced = Frame("R");
    reduced.reduced = "getSysInfo failed; no modules and tilts known, OT only";
    const std::string text = FrameReportText(reduced);
    EXPECT_EQ(text.substr(text.find("  reduced")),
              "  reduced: getSysInfo failed; no modules and tilts known, OT only\n  PASS\n");
}

TEST(CheckReport, LogLineIsOneQuotedCsvRecord) {
    EXPECT_EQ(LogLine("2024-06-11 14:03:05", Frame("Bench, left", {Receiver(3), Receiver(9)})),
              "2024-06-11 14:03:05,\"Bench, left\",4,fail,X receiver R:3; X receiver R:9,,check\r\n");
    EXPECT_EQ(LogLine("t", Frame("say \"hi\"\r\nX\xFF", {}, "the frame left")),
              "t,\"say \"\"hi\"\"\r\nX\xEF\xBF\xBD\",4,error,,the frame left,check\r\n");
    EXPECT_EQ(LogLine("t", Frame("A")), "t,A,4,pass,,,check\r\n");
    EXPECT_EQ(LogLine("t", Frame("A\nB")), "t,\"A\nB\",4,pass,,,check\r\n");
    FrameVerdict missing = Frame("7", {}, "no listed frame matches --frame 7");
    missing.nUsbIndexNo = -1;
    EXPECT_EQ(LogLine("t", missing), "t,7,,error,,no listed frame matches --frame 7,check\r\n");
    EXPECT_EQ(RunLogLine("t", "no frame connected"), "t,,,error,,no frame connected,check\r\n");
}

// Every text the JUnit file holds in an attribute is escaped for one: the
// program's version went in as element text, so a quote in it ended the
// attribute early and no reader could open the file.
TEST(CheckReport, JunitEscapesTheVersionAsAnAttribute) {
    RunInfo run;
    run.programVersion = "1.0 \"rc\"\t<&>";
    const std::string junit = JunitReport(run, {Frame("A")});
    EXPECT_NE(junit.find("<testsuites name=\"LumagridCheck 1.0 &quot;rc&quot;&#9;&lt;&amp;&gt;\" tests=\""),
              std::string::npos)
        << junit;
}

// A name cut inside a character reads alike in the JSON, the JUnit file and the
// log: one U+FFFD per byte that is no UTF-8 (the JSON library's own repair gave
// the cut-short sequence one).
TEST(CheckReport, BadUtf8ReadsAlikeInEveryOutput) {
    const std::string r = "\xEF\xBF\xBD";
    RunInfo run;
    run.options.frames = {"ab\xE2\x82"};
    const std::vector<FrameVerdict> frames = {Frame("ab\xE2\x82", {}, "left\xF0\x9F")};
    const std::string json = JsonReport(run, frames);
    EXPECT_NE(json.find("\"name\": \"ab" + r + r + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"error\": \"left" + r + r + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"frames\": [\n      \"ab" + r + r + "\"\n    ]"), std::string::npos) << json;
    EXPECT_NE(JunitReport(run, frames).find("name=\"ab" + r + r + " (usbindexNo 4)\""), std::string::npos);
    EXPECT_EQ(LogLine("t", frames[0]), "t,ab" + r + r + ",4,error,,left" + r + r + ",check\r\n");
}

}  // namespace
