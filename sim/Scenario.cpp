#include "sim/Scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "sim/Replay.h"

namespace quorvane::sim {

std::string ScenarioError::ToString() const {
    std::ostringstream out;
    out << file;
    if (line > 0) out << ':' << line;
    out << ": " << reason;
    return out.str();
}

namespace {

std::string Trim(const std::string& s) {
    const char* blanks = " \t\r\n";
    std::size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

// Splits a list on blanks and commas.
std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> items;
    std::string cur;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == ',') {
            if (!cur.empty()) items.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) items.push_back(cur);
    return items;
}

std::optional<long long> ToInt(const std::string& s, long long lo, long long hi) {
    long long v = 0;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        first += 2;
        base = 16;
    }
    auto [p, ec] = std::from_chars(first, last, v, base);
    if (ec != std::errc() || p != last || first == last || v < lo || v > hi) return std::nullopt;
    return v;
}

std::optional<double> ToDouble(const std::string& s, double lo, double hi) {
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty() || !std::isfinite(v) || v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<bool> ToBool(const std::string& s) {
    static const std::set<std::string> yes = {"yes", "ok", "on", "true", "1"};
    static const std::set<std::string> no = {"no", "fail", "off", "false", "0"};
    if (yes.count(s)) return true;
    if (no.count(s)) return false;
    return std::nullopt;
}

bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The folder part of a path, with its separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

// Gives `frame` what its recording's header says. False when the header's
// usbindexNo cannot address a frame and the scenario gave none.
bool TakeFromRecording(FrameSpec& frame, std::shared_ptr<const Recorded> recorded, bool usbIndexGiven,
                       std::string& reason) {
    const recording::Header& h = recorded->index.header;
    if (!usbIndexGiven) {
        if (h.usbIndexNo < 0) {
            reason = "the recording's usbindexNo " + std::to_string(h.usbIndexNo) +
                     " cannot address a frame; give the frame a usbindex in a scenario";
            return false;
        }
        frame.usbIndexNo = h.usbIndexNo;
    }
    frame.name = h.frameName;
    frame.version = h.frameVersion;
    frame.deviceType = h.deviceType;
    frame.x.cells = h.xCount;
    frame.y.cells = h.yCount;
    frame.infoStSucceeds = h.deviceInfoStResult != 0;
    frame.sysInfoSucceeds = h.sysInfoResult != 0;
    frame.recorded = std::move(recorded);
    return true;
}

// Parses one scenario text; the first fault ends it.
class Parser {
public:
    Parser(const std::string& file, ScenarioError& error, const FileOpener& open)
        : file_(file), error_(error), open_(open) {}

    std::optional<Scenario> Run(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        int lineNo = 0;
        while (std::getline(in, raw)) {
            ++lineNo;
            if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
            if (!ParseLine(Trim(raw), lineNo)) return std::nullopt;
        }
        if (!FinishFrame()) return std::nullopt;
        if (!CheckTimeline()) return std::nullopt;
        std::stable_sort(s_.timeline.begin(), s_.timeline.end(),
                         [](const TimelineEvent& a, const TimelineEvent& b) { return a.atMs < b.atMs; });
        return s_;
    }

private:
    bool Fail(int line, const std::string& reason) {
        error_.file = file_;
        error_.line = line;
        error_.reason = reason;
        return false;
    }

    bool ParseLine(const std::string& line, int no) {
        if (line.empty() || line[0] == '#' || line[0] == ';') return true;
        if (line.front() == '[') {
            if (line.back() != ']') return Fail(no, "section header lacks ']'");
            std::string section = Trim(line.substr(1, line.size() - 2));
            if (!FinishFrame()) return false;
            if (section == "frame") {
                inFrame_ = true;
                frame_ = FrameSpec{};
                frame_.line = no;
                keyLines_.clear();
                recordingPath_.clear();
            } else if (section == "library") {
                inFrame_ = false;
            } else {
                return Fail(no, "unknown section [" + section + "]");
            }
            return true;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) return Fail(no, "expected 'key = value'");
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (key.empty()) return Fail(no, "missing key before '='");
        return inFrame_ ? FrameKey(key, value, no) : LibraryKey(key, value, no);
    }

    bool LibraryKey(const std::string& key, const std::string& value, int no) {
        if (key == "rate") {
            auto v = ToDouble(value, kMinRate, kMaxRate);
            if (!v) return Fail(no, "rate needs packets per second between 0.1 and 10000");
            s_.rate = *v;
        } else if (key == "setdump_result") {
            auto v = ToInt(value, INT32_MIN, INT32_MAX);
            if (!v) return Fail(no, "setdump_result needs a 32-bit integer");
            s_.setDumpResult = static_cast<int>(*v);
        } else if (key == "seed") {
            auto v = ToInt(value, 0, INT64_MAX);
            if (!v) return Fail(no, "seed needs a non-negative integer");
            s_.seed = static_cast<std::uint64_t>(*v);
        } else if (key == "cycle_ms") {
            auto v = ToInt(value, 0, 86400000);
            if (!v) return Fail(no, "cycle_ms needs milliseconds between 0 and 86400000");
            s_.cycleMs = static_cast<int>(*v);
        } else if (key == "strict_packets") {
            auto v = ToBool(value);
            if (!v) return Fail(no, "strict_packets needs yes/on or no/off");
            s_.strictPackets = *v;
        } else if (key == "at") {
            return TimelineKey(value, no);
        } else if (IsFrameKey(key)) {
            return Fail(no, "'" + key + "' belongs in a [frame] section");
        } else {
            return Fail(no, "unknown key '" + key + "'");
        }
        return true;
    }

    // "at = <ms> connect|disconnect <usbindex>"
    bool TimelineKey(const std::string& value, int no) {
        std::vector<std::string> parts = SplitList(value);
        if (parts.size() != 3) return Fail(no, "at needs '<ms> connect|disconnect <usbindex>'");
        auto ms = ToInt(parts[0], 0, 86400000);
        if (!ms) return Fail(no, "at needs a time in milliseconds between 0 and 86400000");
        TimelineEvent e;
        e.atMs = static_cast<int>(*ms);
        if (parts[1] == "connect") {
            e.connect = true;
        } else if (parts[1] == "disconnect") {
            e.connect = false;
        } else {
            return Fail(no, "at needs 'connect' or 'disconnect', not '" + parts[1] + "'");
        }
        auto idx = ToInt(parts[2], 0, INT32_MAX);
        if (!idx) return Fail(no, "at needs a usbindex of 0 or more");
        e.usbIndexNo = static_cast<int>(*idx);
        e.line = no;
        s_.timeline.push_back(e);
        return true;
    }

    static bool IsFrameKey(const std::string& key) {
        static const std::set<std::string> keys = {
            "name",           "version",        "type",         "usbindex",         "x_cells",       "y_cells",
            "x_module_cells", "y_module_cells", "x_tilts",      "y_tilts",          "info_st",       "sysinfo",
            "fail_every",     "level_ambient",  "level_ir",     "level_ambient_ir", "level_percent", "level_maximal",
            "noise",          "weak_x",         "weak_y",       "dead_x",           "dead_y",        "connected",
            "rate",           "weak_led_x",     "weak_led_y",   "dead_led_x",       "dead_led_y",    "recording",
            "replay_loop",    "sweep",          "sweep_repeat", "stylus_cells",     "touch_percent", "stuck_x",
            "stuck_y"};
        return keys.count(key) != 0;
    }

    bool FrameKey(const std::string& key, const std::string& value, int no) {
        if (!IsFrameKey(key)) {
            if (key == "setdump_result" || key == "seed" || key == "cycle_ms" || key == "strict_packets" || key == "at")
                return Fail(no, "'" + key + "' belongs before the first [frame] or in [library]");
            return Fail(no, "unknown key '" + key + "'");
        }
        if (keyLines_.count(key)) {
            return Fail(
                no, "'" + key + "' given twice in this frame (first on line " + std::to_string(keyLines_[key]) + ")");
        }
        keyLines_[key] = no;
        FrameSpec& f = frame_;
        auto intKey = [&](int& out, long long lo, long long hi) {
            auto v = ToInt(value, lo, hi);
            if (!v) {
                return Fail(no, key + " needs an integer between " + std::to_string(lo) + " and " + std::to_string(hi));
            }
            out = static_cast<int>(*v);
            return true;
        };
        auto boolKey = [&](bool& out) {
            auto v = ToBool(value);
            if (!v) return Fail(no, key + " needs ok/yes or fail/no");
            out = *v;
            return true;
        };
        auto textKey = [&](std::string& out) {
            if (value.size() > static_cast<std::size_t>(kMaxTextBytes))
                return Fail(no, key + " is longer than 127 bytes");
            out = value;
            return true;
        };
        if (key == "name") return textKey(f.name);
        if (key == "version") return textKey(f.version);
        if (key == "type") return intKey(f.deviceType, INT32_MIN, INT32_MAX);
        if (key == "usbindex") return intKey(f.usbIndexNo, 0, INT32_MAX);
        if (key == "x_cells") return intKey(f.x.cells, 1, kMaxCells);
        if (key == "y_cells") return intKey(f.y.cells, 1, kMaxCells);
        if (key == "x_module_cells") return intKey(f.x.moduleCells, 0, 65535);
        if (key == "y_module_cells") return intKey(f.y.moduleCells, 0, 65535);
        if (key == "x_tilts") return TiltsKey(f.x, key, value, no);
        if (key == "y_tilts") return TiltsKey(f.y, key, value, no);
        if (key == "info_st") return boolKey(f.infoStSucceeds);
        if (key == "sysinfo") return boolKey(f.sysInfoSucceeds);
        if (key == "fail_every") return intKey(f.failEvery, 0, 1000);
        if (key == "level_ambient") return intKey(f.levels.ambient, 0, 255);
        if (key == "level_ir") return intKey(f.levels.ir, 0, 255);
        if (key == "level_ambient_ir") return intKey(f.levels.ambientIr, 0, 255);
        if (key == "level_percent") return intKey(f.levels.percent, 0, 255);
        if (key == "level_maximal") return intKey(f.levels.maximal, 0, 255);
        if (key == "noise") return intKey(f.noise, 0, 127);
        if (key == "rate") {
            auto v = ToDouble(value, kMinRate, kMaxRate);
            if (!v) return Fail(no, "rate needs packets per second between 0.1 and 10000");
            f.rate = *v;
            return true;
        }
        if (key == "weak_x") return WeakKey(f.x, key, value, no);
        if (key == "weak_y") return WeakKey(f.y, key, value, no);
        if (key == "dead_x") return ReceiversKey(f.x.dead, key, value, no);
        if (key == "dead_y") return ReceiversKey(f.y.dead, key, value, no);
        if (key == "stuck_x") return ReceiversKey(f.x.stuck, key, value, no);
        if (key == "stuck_y") return ReceiversKey(f.y.stuck, key, value, no);
        if (key == "sweep") return SweepKey(f.sweep, value, no);
        if (key == "sweep_repeat") return boolKey(f.sweep.repeat);
        if (key == "stylus_cells") return intKey(f.sweep.stylusCells, 1, kMaxCells);
        if (key == "touch_percent") {
            auto v = ToDouble(value, 0.0, 100.0);
            if (!v) return Fail(no, "touch_percent needs a percentage between 0 and 100");
            f.sweep.touchPercent = *v;
            return true;
        }
        if (key == "weak_led_x") return WeakLedKey(f.x, key, value, no);
        if (key == "weak_led_y") return WeakLedKey(f.y, key, value, no);
        if (key == "dead_led_x") return DeadLedKey(f.x, key, value, no);
        if (key == "dead_led_y") return DeadLedKey(f.y, key, value, no);
        if (key == "recording") {
            if (value.empty()) return Fail(no, "recording needs the path of a .lgrec file");
            recordingPath_ = value;
            return true;
        }
        if (key == "replay_loop") return boolKey(f.replayLoop);
        return boolKey(f.connectedAtStart);  // "connected"
    }

    bool TiltsKey(AxisSpec& axis, const std::string& key, const std::string& value, int no) {
        std::vector<std::string> parts = SplitList(value);
        if (parts.empty() || parts.size() > 4) return Fail(no, key + " needs one to four offsets");
        axis.tilts = {};
        for (std::size_t i = 0; i < parts.size(); ++i) {
            auto v = ToInt(parts[i], 0, 255);
            if (!v) return Fail(no, key + " offsets must be 0..255, not '" + parts[i] + "'");
            axis.tilts[i] = static_cast<int>(*v);
        }
        return true;
    }

    // "weak_x = 17:0.3 40:0.5"; indices are checked once the cell count is known.
    bool WeakKey(AxisSpec& axis, const std::string& key, const std::string& value, int no) {
        for (const std::string& item : SplitList(value)) {
            std::size_t colon = item.find(':');
            if (colon == std::string::npos) return Fail(no, key + " needs index:factor items, not '" + item + "'");
            auto idx = ToInt(item.substr(0, colon), 0, kMaxCells - 1);
            auto factor = ToDouble(item.substr(colon + 1), 0.0, 1.0);
            if (!idx) return Fail(no, key + " index must be 0.." + std::to_string(kMaxCells - 1));
            if (!factor) return Fail(no, key + " factor must be between 0 and 1");
            axis.weak.push_back({static_cast<int>(*idx), *factor});
        }
        return true;
    }

    // "dead_x = 3 41"; indices are checked once the cell count is known.
    bool ReceiversKey(std::vector<int>& out, const std::string& key, const std::string& value, int no) {
        for (const std::string& item : SplitList(value)) {
            auto idx = ToInt(item, 0, kMaxCells - 1);
            if (!idx) return Fail(no, key + " needs receiver indices, not '" + item + "'");
            out.push_back(static_cast<int>(*idx));
        }
        return true;
    }

    // "sweep = START DURATION", seconds with decimals.
    bool SweepKey(SweepSpec& sweep, const std::string& value, int no) {
        std::vector<std::string> parts = SplitList(value);
        const std::string usage =
            "sweep needs 'START DURATION' in seconds: START 0 to 86400, DURATION above 0 up to 86400";
        if (parts.size() != 2) return Fail(no, usage);
        auto start = ToDouble(parts[0], 0.0, kMaxSweepSeconds);
        auto duration = ToDouble(parts[1], 0.0, kMaxSweepSeconds);
        if (!start || !duration || *duration <= 0.0) return Fail(no, usage);
        sweep.enabled = true;
        sweep.startSeconds = *start;
        sweep.durationSeconds = *duration;
        return true;
    }

    // "weak_led_x = 40:0.3"; LED numbers are checked once the cell count is known.
    bool WeakLedKey(AxisSpec& axis, const std::string& key, const std::string& value, int no) {
        for (const std::string& item : SplitList(value)) {
            std::size_t colon = item.find(':');
            if (colon == std::string::npos) return Fail(no, key + " needs led:factor items, not '" + item + "'");
            auto led = ToInt(item.substr(0, colon), 0, kMaxCells);
            auto factor = ToDouble(item.substr(colon + 1), 0.0, 1.0);
            if (!led) return Fail(no, key + " LED must be 0.." + std::to_string(kMaxCells));
            if (!factor) return Fail(no, key + " factor must be between 0 and 1");
            axis.weakLeds.push_back({static_cast<int>(*led), *factor});
        }
        return true;
    }

    bool DeadLedKey(AxisSpec& axis, const std::string& key, const std::string& value, int no) {
        for (const std::string& item : SplitList(value)) {
            auto led = ToInt(item, 0, kMaxCells);
            if (!led) return Fail(no, key + " needs LED numbers, not '" + item + "'");
            axis.deadLeds.push_back(static_cast<int>(*led));
        }
        return true;
    }

    bool CheckFaultIndices(const AxisSpec& axis, const char* axisName) {
        auto lineOf = [&](const std::string& k) { return keyLines_.count(k) ? keyLines_[k] : frame_.line; };
        for (const WeakReceiver& w : axis.weak) {
            if (w.index >= axis.cells) {
                return Fail(lineOf(std::string("weak_") + axisName), "weak receiver " + std::to_string(w.index) +
                                                                         " beyond the " + std::to_string(axis.cells) +
                                                                         " cells of " + axisName);
            }
        }
        for (int d : axis.dead) {
            if (d >= axis.cells) {
                return Fail(lineOf(std::string("dead_") + axisName), "dead receiver " + std::to_string(d) +
                                                                         " beyond the " + std::to_string(axis.cells) +
                                                                         " cells of " + axisName);
            }
        }
        for (int d : axis.stuck) {
            if (d >= axis.cells) {
                return Fail(lineOf(std::string("stuck_") + axisName), "stuck receiver " + std::to_string(d) +
                                                                          " beyond the " + std::to_string(axis.cells) +
                                                                          " cells of " + axisName);
            }
        }
        // LEDs are numbered 0..cells, as the LED check counts them.
        for (const WeakLed& w : axis.weakLeds) {
            if (w.led > axis.cells) {
                return Fail(lineOf(std::string("weak_led_") + axisName),
                            "weak LED " + std::to_string(w.led) + " beyond LEDs 0.." + std::to_string(axis.cells) +
                                " of " + axisName);
            }
        }
        for (int d : axis.deadLeds) {
            if (d > axis.cells) {
                return Fail(lineOf(std::string("dead_led_") + axisName),
                            "dead LED " + std::to_string(d) + " beyond LEDs 0.." + std::to_string(axis.cells) + " of " +
                                axisName);
            }
        }
        return true;
    }

    // A frame played from a recording: everything but its place in the
    // scenario comes from the file.
    bool FinishRecordedFrame() {
        const int at = keyLines_["recording"];
        static const std::set<std::string> allowed = {"recording", "usbindex", "connected", "replay_loop"};
        const std::pair<const std::string, int>* refused = nullptr;
        for (const auto& entry : keyLines_)
            if (!allowed.count(entry.first) && (!refused || entry.second < refused->second)) refused = &entry;
        if (refused) {
            return Fail(refused->second, "'" + refused->first + "' cannot go with 'recording' (line " +
                                             std::to_string(at) +
                                             "): a recorded frame takes it from the recording; only usbindex, "
                                             "connected and replay_loop may be given");
        }
        const std::string path = IsAbsolutePath(recordingPath_) ? recordingPath_ : FolderOf(file_) + recordingPath_;
        std::string reason;
        std::shared_ptr<const Recorded> recorded = LoadRecorded(path, open_, reason);
        if (!recorded || !TakeFromRecording(frame_, recorded, keyLines_.count("usbindex") != 0, reason))
            return Fail(at, "recording '" + recordingPath_ + "': " + reason);
        if (!recorded->note.empty())
            s_.notes.push_back(file_ + ":" + std::to_string(at) + ": recording '" + recordingPath_ + "' " +
                               recorded->note);
        return true;
    }

    bool FinishFrame() {
        if (!inFrame_) return true;
        inFrame_ = false;
        const int at = frame_.line;
        const bool recorded = keyLines_.count("recording") != 0;
        if (recorded) {
            if (!FinishRecordedFrame()) return false;
        } else {
            if (keyLines_.count("replay_loop"))
                return Fail(keyLines_["replay_loop"], "replay_loop needs 'recording' in the same frame");
            // The stylus' own keys say nothing without a sweep: most likely a typo of it.
            for (const char* k : {"sweep_repeat", "stylus_cells", "touch_percent"})
                if (keyLines_.count(k) && !frame_.sweep.enabled)
                    return Fail(keyLines_[k], std::string(k) + " needs 'sweep' in the same frame");
            if (frame_.name.empty()) return Fail(at, "frame without a name");
            if (!keyLines_.count("usbindex")) return Fail(at, "frame '" + frame_.name + "' lacks usbindex");
            if (!keyLines_.count("x_cells") || !keyLines_.count("y_cells"))
                return Fail(at, "frame '" + frame_.name + "' lacks x_cells or y_cells");
            if (!CheckFaultIndices(frame_.x, "x") || !CheckFaultIndices(frame_.y, "y")) return false;
        }
        const bool usbIndexGiven = keyLines_.count("usbindex") != 0;
        for (const FrameSpec& other : s_.frames) {
            if (other.usbIndexNo == frame_.usbIndexNo) {
                return Fail(usbIndexGiven ? keyLines_["usbindex"] : keyLines_["recording"],
                            "usbindex " + std::to_string(frame_.usbIndexNo) +
                                (usbIndexGiven ? "" : " (the recording's)") + " already used by the frame on line " +
                                std::to_string(other.line) + (usbIndexGiven ? "" : "; give this frame a usbindex"));
            }
        }
        s_.frames.push_back(frame_);
        return true;
    }

    bool CheckTimeline() {
        for (const TimelineEvent& e : s_.timeline) {
            bool known = std::any_of(s_.frames.begin(), s_.frames.end(),
                                     [&](const FrameSpec& f) { return f.usbIndexNo == e.usbIndexNo; });
            if (!known) return Fail(e.line, "no frame has usbindex " + std::to_string(e.usbIndexNo));
            if (s_.cycleMs > 0 && e.atMs >= s_.cycleMs) {
                return Fail(e.line, "event at " + std::to_string(e.atMs) + " ms lies outside the cycle of " +
                                        std::to_string(s_.cycleMs) + " ms");
            }
        }
        return true;
    }

    std::string file_;
    ScenarioError& error_;
    const FileOpener& open_;
    Scenario s_;
    bool inFrame_ = false;
    FrameSpec frame_;
    std::string recordingPath_;  // as the frame's `recording` key gives it
    std::map<std::string, int> keyLines_;
};

// One recorded frame, addressed by the usbindexNo it had when recorded.
std::optional<Scenario> ScenarioOfRecording(const std::string& path, ScenarioError& error, const FileOpener& open) {
    std::string reason;
    std::shared_ptr<const Recorded> recorded = LoadRecorded(path, open, reason);
    FrameSpec frame;
    if (!recorded || !TakeFromRecording(frame, recorded, false, reason)) {
        error = {path, 0, reason};
        return std::nullopt;
    }
    Scenario s;
    if (!recorded->note.empty()) s.notes.push_back(path + ": " + recorded->note);
    s.frames.push_back(std::move(frame));
    return s;
}

}  // namespace

std::optional<Scenario> ParseScenario(const std::string& text, const std::string& file, ScenarioError& error,
                                      const FileOpener& open) {
    return Parser(file, error, open).Run(text);
}

std::optional<Scenario> LoadScenarioFile(const std::string& path, ScenarioError& error, const FileOpener& open) {
    std::FILE* file = open ? open(path) : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = {path, 0, "cannot read the file"};
        return std::nullopt;
    }
    std::string text;
    char buf[4096];
    std::size_t n = std::fread(buf, 1, recording::kMagicBytes, file);
    text.assign(buf, n);
    // A recording is read block by block, not as text.
    if (NamesRecording(path) || StartsLikeRecording(reinterpret_cast<const std::uint8_t*>(text.data()), n)) {
        std::fclose(file);
        return ScenarioOfRecording(path, error, open);
    }
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) text.append(buf, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = {path, 0, "cannot read the file"};
        return std::nullopt;
    }
    return ParseScenario(text, path, error, open);
}

const std::string& DefaultScenarioText() {
    static const std::string text = R"(# Built-in scenario of the substitute QuorvaneLib.dll.
# Two frames of different geometry with faults worth diagnosing (dead and
# weak receivers on the first, a dead LED on the second), and a service
# device (type 2) that the program must not list.
rate = 20
setdump_result = 0
seed = 20240611

[frame]
name = Quorvane IR96/SN-1001
version = 2.4.1
type = 1
usbindex = 0
x_cells = 96
y_cells = 64
x_module_cells = 16
y_module_cells = 16
x_tilts = 3 5 0 0
y_tilts = 2 4 0 0
level_ambient = 8
level_ir = 62
level_percent = 90
level_maximal = 96
noise = 3
dead_x = 41
weak_x = 17:0.20
weak_y = 50:0.25

[frame]
name = Quorvane IR160/SN-2002
version = 2.5.0
type = 1
usbindex = 1
x_cells = 160
y_cells = 90
x_module_cells = 16
y_module_cells = 16
x_tilts = 4 7 0 0
y_tilts = 3 5 0 0
level_ambient = 10
level_ir = 70
level_percent = 90
level_maximal = 95
noise = 4
dead_led_x = 75

[frame]
name = Quorvane Service Bridge
version = 1.0.3
type = 2
usbindex = 2
x_cells = 16
y_cells = 16
sysinfo = fail
)";
    return text;
}

Scenario DefaultScenario() {
    ScenarioError error;
    std::optional<Scenario> s = ParseScenario(DefaultScenarioText(), "<built-in>", error);
    // The built-in text is tested; an empty scenario is the safe answer if it ever breaks.
    return s ? *s : Scenario{};
}

}  // namespace quorvane::sim
