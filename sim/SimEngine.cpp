#include "sim/SimEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quorvane::sim {

bool DecodeRequest(int request, DumpRequest& out) {
    if (request < 0 || request > 0x7F) return false;
    DumpRequest r{request & 0x0F, request >> 4};
    if (r.mode > 9 || r.axis > 4) return false;
    out = r;
    return true;
}

BeamSet BeamSetFor(const DumpRequest& request) {
    if (request.mode >= 6) {
        // The tilt modes choose the side; an axis code 3 or 4 picks tilt set 2.
        return {request.mode <= 7 ? -1 : +1, request.axis >= 3 ? 1 : 0};
    }
    switch (request.axis) {
        case 1: return {-1, 0};
        case 2: return {+1, 0};
        case 3: return {-1, 1};
        case 4: return {+1, 1};
        default: return {0, 0};
    }
}

namespace {

// The LED whose beam receiver `receiver` (0-based) sees, numbered as the
// program's LED check counts: R, R + tilt (left) or R - tilt - 1 (right) of
// the 1-based receiver number R.
int LedOf(const AxisSpec& axis, int receiver, const BeamSet& beams) {
    const int r = receiver + 1;
    if (beams.direction == 0) return r;
    const int tilt = axis.tilts[beams.tiltSet];
    return beams.direction < 0 ? r + tilt : r - tilt - 1;
}

bool DeadLedBeam(const AxisSpec& axis, int receiver, const BeamSet& beams) {
    return std::find(axis.deadLeds.begin(), axis.deadLeds.end(), LedOf(axis, receiver, beams)) != axis.deadLeds.end();
}

// What the receiver's LED gives of its light: 0 dead, a weak LED's factor, else 1.
double LedFactor(const AxisSpec& axis, int receiver, const BeamSet& beams) {
    if (DeadLedBeam(axis, receiver, beams)) return 0.0;
    const int led = LedOf(axis, receiver, beams);
    for (const WeakLed& w : axis.weakLeds)
        if (w.led == led) return w.factor;
    return 1.0;
}

// Beam part of a receiver's level: its LED's share, tilted beams arrive
// weaker, and the last `tilt` receivers towards the side the beams lean to
// have no LED opposite them, so they fade towards the end of the axis.
double BeamShape(const AxisSpec& axis, int receiver, const BeamSet& beams) {
    const double led = LedFactor(axis, receiver, beams);
    if (beams.direction == 0) return led;
    const int tilt = axis.tilts[beams.tiltSet];
    const int r = receiver + 1;  // 1-based receiver number
    int past = 0;
    if (beams.direction < 0) {
        past = r + tilt - axis.cells;  // LED number r + tilt beyond the axis
    } else {
        past = -(r - tilt - 1);  // LED number r - tilt - 1 below 0
    }
    double shape = kTiltedBeamFactor * led;
    if (past > 0) shape *= 1.0 - static_cast<double>(past) / (tilt + 1);
    return shape;
}

// splitmix64: a well-mixed hash so every receiver of every packet gets its own draw.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int Noise(int amplitude, std::uint64_t seed, const FrameSpec& frame, int request, std::uint32_t packetNo, int axisNo,
          int receiver) {
    if (amplitude <= 0) return 0;
    std::uint64_t h = Mix(seed);
    h = Mix(h ^ static_cast<std::uint32_t>(frame.usbIndexNo));
    h = Mix(h ^ (static_cast<std::uint64_t>(request) << 32 | packetNo));
    h = Mix(h ^ (static_cast<std::uint64_t>(axisNo) << 32 | static_cast<std::uint32_t>(receiver)));
    return static_cast<int>(h % static_cast<std::uint64_t>(2 * amplitude + 1)) - amplitude;
}

}  // namespace

double ReceiverLevel(const FrameSpec& frame, const AxisSpec& axis, int receiver, const DumpRequest& request) {
    const Levels& l = frame.levels;
    const double shape = BeamShape(axis, receiver, BeamSetFor(request));
    switch (request.mode) {
        case 1: {
            const int both = l.ambientIr >= 0 ? l.ambientIr : std::min(l.ambient + l.ir, 255);
            return l.ambient + std::max(both - l.ambient, 0) * shape;
        }
        case 2: return l.ambient;
        case 3: return l.ir * shape;
        case 4:
        case 6:
        case 8: return l.percent * shape;
        case 5:
        case 7:
        case 9: return l.maximal * shape;
        default: return 0.0;
    }
}

StylusCover StylusAt(const FrameSpec& frame, double seconds) {
    const SweepSpec& sweep = frame.sweep;
    double t = seconds - sweep.startSeconds;
    if (!sweep.enabled || !(t >= 0.0) || sweep.durationSeconds <= 0.0) return {};
    if (t >= sweep.durationSeconds) {
        if (!sweep.repeat) return {};
        t = std::fmod(t, sweep.durationSeconds);
    }
    const double half = sweep.durationSeconds / 2.0;
    const int axisNo = t < half ? 0 : 1;
    const double fraction = std::clamp((axisNo == 0 ? t : t - half) / half, 0.0, 1.0);
    const int cells = axisNo == 0 ? frame.x.cells : frame.y.cells;
    const int width = std::min(sweep.stylusCells, cells);
    const int positions = cells - width + 1;
    const int first = std::min(static_cast<int>(fraction * positions), positions - 1);
    return {axisNo, first, width};
}

std::size_t PacketSize(const FrameSpec& frame) {
    return kDumpHeaderBytes + static_cast<std::size_t>(frame.x.cells) + static_cast<std::size_t>(frame.y.cells);
}

void GeneratePacket(const FrameSpec& frame, int request, std::uint64_t seed, std::uint32_t packetNo,
                    std::vector<std::uint8_t>& out, const StylusCover& cover) {
    out.assign(PacketSize(frame), 0);
    DumpRequest req;
    if (!DecodeRequest(request, req)) req = DumpRequest{};
    unsigned sum = 0;
    std::size_t pos = kDumpHeaderBytes;
    const AxisSpec* axes[2] = {&frame.x, &frame.y};
    // A stylus blocks beams, not ambient light; Stop (0) has no packets.
    const bool blocks = cover.axis >= 0 && req.mode != 2 && req.mode != 0;
    const double touch = frame.sweep.touchPercent / 100.0;
    for (int a = 0; a < 2; ++a) {
        const AxisSpec& axis = *axes[a];
        for (int r = 0; r < axis.cells; ++r, ++pos) {
            if (std::find(axis.dead.begin(), axis.dead.end(), r) != axis.dead.end()) continue;
            double level = ReceiverLevel(frame, axis, r, req);
            // A beam with no light at all, like a dead receiver, reads 0 without noise.
            if (level <= 0.0 && DeadLedBeam(axis, r, BeamSetFor(req))) continue;
            for (const WeakReceiver& w : axis.weak) {
                if (w.index == r) {
                    level *= w.factor;
                    break;
                }
            }
            if (blocks && cover.Covers(a, r) && std::find(axis.stuck.begin(), axis.stuck.end(), r) == axis.stuck.end())
                level *= touch;
            int v = static_cast<int>(std::lround(level)) + Noise(frame.noise, seed, frame, request, packetNo, a, r);
            v = std::clamp(v, 0, 255);
            out[pos] = static_cast<std::uint8_t>(v);
            sum += static_cast<unsigned>(v);
        }
    }
    out[kHeaderMarker] = kPacketMarker;
    out[kHeaderRequest] = static_cast<std::uint8_t>(request);
    out[kHeaderUsbIndex] = static_cast<std::uint8_t>(frame.usbIndexNo);
    out[kHeaderSequence] = static_cast<std::uint8_t>(packetNo);
    out[kHeaderSequence + 1] = static_cast<std::uint8_t>(packetNo >> 8);
    out[kHeaderChecksum] = static_cast<std::uint8_t>(sum);
    out[kHeaderChecksum + 1] = static_cast<std::uint8_t>(sum >> 8);
}

int AnswerDeviceInfoST(const FrameSpec& frame, DeviceInfoST& out) {
    if (!frame.infoStSucceeds) return 0;
    if (frame.recorded) {
        const recording::Header& h = frame.recorded->index.header;
        static_assert(sizeof out == recording::kDeviceInfoStBytes, "the recorded record is the library's");
        std::memcpy(&out, h.deviceInfoSt.data(), sizeof out);
        return h.deviceInfoStResult;
    }
    std::memset(&out, 0, sizeof out);
    out.nXCells = static_cast<std::int16_t>(frame.x.cells);
    out.nYCells = static_cast<std::int16_t>(frame.y.cells);
    return 1;
}

int AnswerSysInfo(const FrameSpec& frame, FrameSettings& out) {
    if (!frame.sysInfoSucceeds) return 0;
    if (frame.recorded) {
        const recording::Header& h = frame.recorded->index.header;
        static_assert(sizeof out == recording::kFrameSettingsBytes, "the recorded record is the library's");
        std::memcpy(&out, h.frameSettings.data(), sizeof out);
        return h.sysInfoResult;
    }
    std::memset(&out, 0, sizeof out);
    out.m_nXTCount = static_cast<std::uint16_t>(frame.x.cells);
    out.m_nYTCount = static_cast<std::uint16_t>(frame.y.cells);
    out.X_MODULE_CELL = static_cast<std::uint16_t>(frame.x.moduleCells);
    out.Y_MODULE_CELL = static_cast<std::uint16_t>(frame.y.moduleCells);
    std::uint8_t* xTilts[4] = {&out.X_TILT1, &out.X_TILT2, &out.X_TILT3, &out.X_TILT4};
    std::uint8_t* yTilts[4] = {&out.Y_TILT1, &out.Y_TILT2, &out.Y_TILT3, &out.Y_TILT4};
    for (std::size_t i = 0; i < 4; ++i) {
        *xTilts[i] = static_cast<std::uint8_t>(frame.x.tilts[i]);
        *yTilts[i] = static_cast<std::uint8_t>(frame.y.tilts[i]);
    }
    return 1;
}

std::string LogRegister(int result) { return "registerQuorvaneUSBEvent -> " + std::to_string(result); }

std::string LogGetDeviceinfo(int position, int result) {
    return "getDeviceinfo " + std::to_string(position) + " -> " + std::to_string(result);
}

std::string LogGetDeviceInfoST(int position, int result) {
    return "getDeviceInfoST " + std::to_string(position) + " -> " + std::to_string(result);
}

std::string LogGetSysInfo(int usbIndexNo, int result) {
    return "getSysInfo " + std::to_string(usbIndexNo) + " -> " + std::to_string(result);
}

std::string LogSetDump(int usbIndexNo, int request) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(request));
    return "setDump " + std::to_string(usbIndexNo) + " " + hex;
}

Timeline::Timeline(const Scenario& scenario) : cycleMs_(scenario.cycleMs) {
    for (const FrameSpec& f : scenario.frames) initial_.push_back(f.connectedAtStart);
    for (const TimelineEvent& e : scenario.timeline) {
        for (std::size_t i = 0; i < scenario.frames.size(); ++i) {
            if (scenario.frames[i].usbIndexNo == e.usbIndexNo) {
                events_.push_back({e.atMs, {i, e.connect}});
                break;
            }
        }
    }
    std::stable_sort(events_.begin(), events_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::vector<bool> Timeline::ConnectedAt(std::int64_t ms) const {
    std::vector<bool> set = initial_;
    if (ms < 0) return set;
    const std::int64_t phase = cycleMs_ > 0 ? ms % cycleMs_ : ms;
    for (const auto& e : events_) {
        if (e.first > phase) break;
        set[e.second.first] = e.second.second;
    }
    return set;
}

std::int64_t Timeline::NextChangeAfter(std::int64_t ms) const {
    if (events_.empty()) return -1;
    if (ms < 0) ms = -1;
    if (cycleMs_ <= 0) {
        for (const auto& e : events_) {
            if (e.first > ms) return e.first;
        }
        return -1;
    }
    // Within a cycle the set changes at its events, and at the cycle's end it
    // returns to the initial set.
    const std::int64_t base = ms < 0 ? 0 : ms / cycleMs_ * cycleMs_;
    for (const auto& e : events_) {
        if (base + e.first > ms) return base + e.first;
    }
    return base + cycleMs_;
}

SimEngine::SimEngine(Scenario scenario)
    : scenario_(std::move(scenario)),
      timeline_(scenario_),
      connected_(timeline_.ConnectedAt(0)),
      sweepOriginMs_(scenario_.frames.size(), std::nan("")) {}

int SimEngine::ConnectedCount() const {
    return static_cast<int>(std::count(connected_.begin(), connected_.end(), true));
}

const FrameSpec* SimEngine::AtPosition(int position) const {
    if (position < 0) return nullptr;
    for (std::size_t i = 0; i < connected_.size(); ++i) {
        if (connected_[i] && position-- == 0) return &scenario_.frames[i];
    }
    return nullptr;
}

const FrameSpec* SimEngine::ConnectedFrame(int usbIndexNo) const {
    for (std::size_t i = 0; i < connected_.size(); ++i) {
        if (connected_[i] && scenario_.frames[i].usbIndexNo == usbIndexNo) return &scenario_.frames[i];
    }
    return nullptr;
}

bool SimEngine::AdvanceTo(std::int64_t ms) {
    std::vector<bool> set = timeline_.ConnectedAt(ms);
    if (set == connected_) return false;
    connected_ = std::move(set);
    if (streamingFrame_ >= 0 && !connected_[static_cast<std::size_t>(streamingFrame_)]) {
        streamingFrame_ = -1;
        streamingRequest_ = 0;
    }
    return true;
}

SimEngine::DumpOutcome SimEngine::SetDump(int usbIndexNo, int request, double atMs) {
    int frame = -1;
    for (std::size_t i = 0; i < scenario_.frames.size(); ++i) {
        if (scenario_.frames[i].usbIndexNo == usbIndexNo) frame = static_cast<int>(i);
    }
    if (frame < 0) return DumpOutcome::UnknownFrame;
    if (!connected_[static_cast<std::size_t>(frame)]) return DumpOutcome::NotConnected;
    DumpRequest req;
    if (!DecodeRequest(request, req)) return DumpOutcome::BadRequest;
    if (req.mode == 0) {
        // Stop concerns only the frame that streams; others have nothing to stop.
        if (frame != streamingFrame_) return DumpOutcome::Unchanged;
        streamingFrame_ = -1;
        streamingRequest_ = 0;
        return DumpOutcome::Stopped;
    }
    // Only the first IR request counts: a sweep test's baseline request starts
    // the clock, whatever the frame was asked before it or is asked later.
    double& origin = sweepOriginMs_[static_cast<std::size_t>(frame)];
    if (req.mode == 3 && std::isnan(origin)) origin = atMs;
    streamingFrame_ = frame;
    streamingRequest_ = request;
    packetNo_ = 0;
    nextGapMs_ = -1.0;
    replay_ = ReplayStream();
    const FrameSpec& described = scenario_.frames[static_cast<std::size_t>(frame)];
    if (described.recorded) {
        replay_ = ReplayStream(*described.recorded, static_cast<std::uint8_t>(request), described.replayLoop,
                               1000.0 / scenario_.rate);
        if (!replay_.HasPackets()) logLines_.push_back(LogReplayNotRecorded(usbIndexNo, request));
    }
    return DumpOutcome::Started;
}

int SimEngine::ResultOf(DumpOutcome outcome) const {
    switch (outcome) {
        case DumpOutcome::Started:
        case DumpOutcome::Stopped:
        case DumpOutcome::Unchanged: return scenario_.setDumpResult;
        default: return 0;
    }
}

int SimEngine::StreamingUsbIndex() const {
    return streamingFrame_ >= 0 ? scenario_.frames[static_cast<std::size_t>(streamingFrame_)].usbIndexNo : -1;
}

double SimEngine::StreamingRate() const {
    if (streamingFrame_ < 0) return scenario_.rate;
    const double own = scenario_.frames[static_cast<std::size_t>(streamingFrame_)].rate;
    return own > 0.0 ? own : scenario_.rate;
}

bool SimEngine::NextPacket(std::vector<std::uint8_t>& out, double atMs) {
    nextGapMs_ = -1.0;
    if (streamingFrame_ < 0) return false;
    const FrameSpec& frame = scenario_.frames[static_cast<std::size_t>(streamingFrame_)];
    if (frame.recorded) {
        if (!replay_.Next(out)) return false;
        nextGapMs_ = replay_.GapMs();
        if (replay_.Ended()) logLines_.push_back(LogReplayEnded(frame.usbIndexNo, streamingRequest_, replay_.Sent()));
        return true;
    }
    const double origin = sweepOriginMs_[static_cast<std::size_t>(streamingFrame_)];
    const StylusCover cover = std::isnan(origin) ? StylusCover{} : StylusAt(frame, (atMs - origin) / 1000.0);
    GeneratePacket(frame, streamingRequest_, scenario_.seed, packetNo_++, out, cover);
    nextGapMs_ = 1000.0 / StreamingRate();
    return true;
}

std::vector<std::string> SimEngine::TakeLogLines() {
    std::vector<std::string> lines;
    lines.swap(logLines_);
    return lines;
}

}  // namespace quorvane::sim
