// The simulated frames and the library behaviour they are served with, and the
// text format a technician writes them in (documented in sim/README.md).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::sim {

struct Recorded;  // sim/Replay.h

// Opens a file named in UTF-8 for binary reading, or returns nullptr. The
// library passes one that takes Windows' wide names; nullptr means std::fopen.
using FileOpener = std::function<std::FILE*(const std::string& path)>;

// A receiver that reads only a fraction of the level it should.
struct WeakReceiver {
    int index = 0;        // 0-based receiver of its axis
    double factor = 1.0;  // 0..1
};

// An LED whose beams reach their receivers at a fraction of their level.
struct WeakLed {
    int led = 0;          // LED number as the program's LED check prints S: 0..cells
    double factor = 1.0;  // 0..1
};

// Per-axis faults and geometry beyond the cell count.
struct AxisSpec {
    int cells = 0;
    int moduleCells = 0;
    std::array<int, 4> tilts{};  // tilt sets 1..4, in cells
    std::vector<WeakReceiver> weak;
    std::vector<int> dead;  // 0-based receivers that read 0
    std::vector<WeakLed> weakLeds;
    std::vector<int> deadLeds;  // LED numbers (S) whose beams read 0 on every beam set
    std::vector<int> stuck;     // 0-based receivers that read their level whatever covers them
};

// A stylus passed along the frame's edges: X from its first cell to its last
// in the first half of the pass, then Y in the second half.
struct SweepSpec {
    bool enabled = false;
    double startSeconds = 0.0;     // after the frame's first IR request
    double durationSeconds = 0.0;  // of one pass over both axes
    bool repeat = false;           // a new pass starts when one ends
    int stylusCells = 2;           // cells of an axis it covers at once
    double touchPercent = 3.0;     // what a covered receiver reads of its level
};

// Levels each mode code produces on a sound receiver (receiver bytes 0..255).
// Sound frames stay below about 100: the scope's range tops out there.
struct Levels {
    int ambient = 8;
    int ir = 62;
    int ambientIr = -1;  // -1: ambient + ir capped at 255
    int percent = 90;
    int maximal = 96;
};

struct FrameSpec {
    std::string name;
    std::string version = "1.0";
    int deviceType = 1;
    int usbIndexNo = 0;
    AxisSpec x;
    AxisSpec y;
    bool infoStSucceeds = true;
    bool sysInfoSucceeds = true;
    // >0: every n-th call of getDeviceInfoST, and of getSysInfo, that would
    // succeed fails instead (each counts its own calls), as a loose frame does.
    int failEvery = 0;
    Levels levels;
    int noise = 0;  // receiver bytes vary by up to +-noise
    SweepSpec sweep;
    double rate = 0.0;  // packets per second while it streams; 0: the library's rate
    bool connectedAtStart = true;
    int line = 0;  // where the frame starts in its scenario text
    // Set: the frame plays this recording (frame key `recording`). Its packets
    // and info answers come from it; name, version, type, the cell counts and
    // whether the info calls succeed are filled from its header.
    std::shared_ptr<const Recorded> recorded;
    bool replayLoop = true;  // a recorded stream starts again at its end
};

// One change of the connected set, at a time after registration.
struct TimelineEvent {
    int atMs = 0;
    bool connect = true;
    int usbIndexNo = 0;
    int line = 0;
};

struct Scenario {
    double rate = 20.0;     // packets per second while a frame streams
    int setDumpResult = 0;  // what setDump returns for an accepted request
    std::uint64_t seed = 1;
    int cycleMs = 0;             // >0: the timeline repeats with this period
    bool strictPackets = false;  // packets end at an inaccessible page, so overreads fault
    std::vector<FrameSpec> frames;
    std::vector<TimelineEvent> timeline;  // sorted by time, stable
    // "file:line: what" of recordings that are played only in part.
    std::vector<std::string> notes;
};

// Where and why a scenario text was rejected.
struct ScenarioError {
    std::string file;
    int line = 0;  // 0: the file as a whole
    std::string reason;

    std::string ToString() const;  // "file:line: reason"
};

// Limits of the format, so that a typo cannot ask for absurd frames.
constexpr int kMaxCells = 4096;
constexpr int kMaxTextBytes = 127;
constexpr double kMinRate = 0.1;
constexpr double kMaxRate = 10000.0;
constexpr double kMaxSweepSeconds = 86400.0;

// Parses a scenario text; `file` names the source in errors, and its folder
// is where relative `recording` paths start. Returns std::nullopt and fills
// `error` on the first fault, an unplayable recording included.
std::optional<Scenario> ParseScenario(const std::string& text, const std::string& file, ScenarioError& error,
                                      const FileOpener& open = nullptr);

// The scenario a file gives: a recording (".lgrec" name or the recording
// magic) becomes a scenario of that one frame, anything else is parsed as
// scenario text.
std::optional<Scenario> LoadScenarioFile(const std::string& path, ScenarioError& error,
                                         const FileOpener& open = nullptr);

// The built-in scenario, as text in the same format (it doubles as an example).
const std::string& DefaultScenarioText();

// The built-in scenario parsed.
Scenario DefaultScenario();

}  // namespace quorvane::sim
