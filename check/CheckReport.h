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

// One CSV line of the log, ended by CR LF: time, name, usbindexNo, verdict,
// the faulty parts ("; " between them), the error text. Quoted where needed.
std::string LogLine(const std::string& localTime, const FrameVerdict& frame);
// The log line of a run-level error, so that the log shows every run:
// time, empty name and number, "error", no parts, the error text.
std::string RunLogLine(const std::string& localTime, const std::string& runError);

}  // namespace check
