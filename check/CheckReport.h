// What a run of the frame check hands out: the text block per frame for a
// person, the JSON and JUnit XML files for programs, the CSV line per frame of
// the shared log, and the exit code. Portable and stateless: the program
// writes the bytes where they go.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/CheckOptions.h"
#include "check/Diagnosis.h"
#include "check/Sweep.h"
#include "reports/LedCheck.h"

namespace check {

constexpr int kExitPass = 0;        // every checked frame passes
constexpr int kExitFail = 1;        // a frame fails, every frame was measured
constexpr int kExitIncomplete = 2;  // no frame, a measurement error, or a file error
constexpr int kExitUsage = 64;      // a bad command line

// Version of the JSON layout; raised when a field changes meaning or goes.
constexpr int kJsonSchemaVersion = 1;

struct RunInfo {
    std::string programVersion;
    std::string time;  // the run's start, local ISO 8601, e.g. "2024-06-11T14:03:05+09:00"
    int nThresholdPercent = 33;
    CheckOptions options;
    std::string error;  // a reason the run checked nothing, e.g. "no frame connected within 5 s"
};

// Error when the run has an error, no frame or a frame in error; else fail
// when a frame fails; else pass.
Verdict RunVerdict(const std::vector<FrameVerdict>& frames, const std::string& runError = {});
// 0, 1 or 2 by RunVerdict; a file that could not be written makes it 2.
int ExitCode(const std::vector<FrameVerdict>& frames, const std::string& runError = {}, bool bFileError = false);

// One line naming a faulty part, e.g. "X receiver R:42", "X led S:17",
// "X beam TL1 S:20 R:17", "Y axis-dark TR2".
std::string PartText(const Fault& fault);

// Where a part sits, in the words every report uses: "R module 4 position 4".
std::string PlaceText(const char* what, long long nModule, long long nPosition);

// A beam set's line: "X OT   average 3795  cutline 1252  low 1", or
// "Y TL2  dark: every receiver reads 0".
std::string SetLineText(const SetResult& set);
// A faulty part's line: its PartText, its modules and positions, its level,
// e.g. "X led S:75  S module 5 position 11  level 0".
std::string FaultLineText(const Fault& fault);

// The error of a frame whose device record and geometry answer both failed:
// its receiver counts are unknown, so it is not asked at all.
constexpr char kNoCountsError[] = "the frame answered neither getDeviceInfoST nor getSysInfo";

// Why a check is reduced when the frame did not answer getSysInfo: its
// modules and tilts came from that section of Lumagrid.ini (UTF-8), or
// (empty) none are known and only OT is measured.
std::string ReducedGeometryText(const std::string& sectionUtf8);

// The status box's lines of a frame's check: "reduced: ..." when reduced,
// each beam set's line and each faulty part's line as the block for stdout
// words them, X red and Y blue as the LED check colours its lines, then
// "PASS", "FAIL" or "ERROR: reason".
std::vector<reports::StatusLine> CheckStatusLines(const FrameVerdict& frame);

// The block for stdout: name, usbindexNo, geometry, per beam set the average
// and cutline, each faulty part with its modules and positions, PASS, FAIL or
// ERROR. Lines end with "\n".
std::string FrameReportText(const FrameVerdict& frame);

// The JSON file (kJsonSchemaVersion). Names and texts are UTF-8; bytes that
// are not are replaced with U+FFFD, never thrown on.
std::string JsonReport(const RunInfo& run, const std::vector<FrameVerdict>& frames);

// JUnit XML: a testsuite per frame, a testcase per measured beam set and one
// for the diagnosis; a <failure> names the low beams or the faulty parts, an
// <error> the measurement error.
std::string JunitReport(const RunInfo& run, const std::vector<FrameVerdict>& frames);

// The test a log line or a JSON file is of: "check" or "sweep".
constexpr char kCheckTest[] = "check";
constexpr char kSweepTest[] = "sweep";

// One CSV line of the log, ended by CR LF: time, name, usbindexNo, verdict,
// the faulty parts ("; " between them), the error text, the test ("check").
// Quoted where needed.
std::string LogLine(const std::string& localTime, const FrameVerdict& frame);
// The log line of a run-level error, so that the log shows every run:
// time, empty name and number, "error", no parts, the error text, the test.
std::string RunLogLine(const std::string& localTime, const std::string& runError, const char* pszTest = kCheckTest);

// The sweep test of a frame: a sweep per beam set, in the order swept.
struct SweepSetOutcome {
    SweepProgress progress;  // at the end: the counts per axis
    SweepResult result;
    std::size_t nCells[2] = {0, 0};  // [Axis]: the receivers of each axis
};
struct SweepFrameVerdict {
    std::string name;
    int nUsbIndexNo = -1;  // -1: a --frame that matched no listed frame
    FrameGeometry geometry{};
    std::vector<SweepSetOutcome> sets;
    std::string error;  // the frame left, went silent, the run was interrupted, ...
    // Error with an error, no set swept or a set in error; else fail when a
    // set fails; else pass.
    Verdict verdict() const;
};
struct SweepRunInfo {
    std::string programVersion;
    std::string time;
    int nThresholdPercent = 33;
    SweepSettings settings;
    unsigned nChosenSets = BeamSetBit(BeamSet::OT);
    unsigned nPackets = 8;
    unsigned nTimeoutSeconds = 5;
    std::vector<std::string> frames;  // the --frame arguments
    std::string error;
};

// As the check's: 0, 1 or 2 by the frames' verdicts, the run's error and a file error.
int SweepExitCode(const std::vector<SweepFrameVerdict>& frames, const std::string& runError = {},
                  bool bFileError = false);
// The block for stdout: name, usbindexNo, per set the counts per axis, each
// fault with its module and position, PASS, FAIL or ERROR.
std::string SweepReportText(const SweepFrameVerdict& frame);
// The JSON file: the check's layout with "test": "sweep", per frame its sweeps
// (counts per axis) and its faults.
std::string SweepJsonReport(const SweepRunInfo& run, const std::vector<SweepFrameVerdict>& frames);
// JUnit XML: a testsuite per frame, a testcase per beam set swept.
std::string SweepJunitReport(const SweepRunInfo& run, const std::vector<SweepFrameVerdict>& frames);
// The log line of a frame's sweep: the check's columns, the faults in the
// log's words ("X stuck R:34"), then "sweep".
std::string SweepLogLine(const std::string& localTime, const SweepFrameVerdict& frame);

}  // namespace check
