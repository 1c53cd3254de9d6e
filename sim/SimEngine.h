// What the simulated library does, without any window or thread: which frames
// are connected when, which frame streams, what its packets hold, and the
// lines of the request log. The DLL wraps this in a lock and a worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/QuorvaneTypes.h"
#include "sim/Replay.h"
#include "sim/Scenario.h"

namespace quorvane::sim {

// Header bytes of a packet (the program does not read them).
constexpr std::uint8_t kPacketMarker = 0xA5;
constexpr std::size_t kHeaderMarker = 0;    // kPacketMarker
constexpr std::size_t kHeaderRequest = 1;   // request byte of the stream
constexpr std::size_t kHeaderUsbIndex = 2;  // usbindexNo, low byte
constexpr std::size_t kHeaderSequence = 3;  // packet number in the stream, 16 bits LE
constexpr std::size_t kHeaderChecksum = 5;  // sum of the receiver bytes, 16 bits LE

// Tilted beams are longer and arrive weaker than straight ones.
constexpr double kTiltedBeamFactor = 0.85;

// A dump-request byte taken apart: mode code (low nibble), axis code (high nibble).
struct DumpRequest {
    int mode = 0;  // 0..9
    int axis = 0;  // 0..4: OT, TL1, TR1, TL2, TR2
};

// False for values a frame does not understand (outside 0..0x7F, mode above 9,
// axis above 4).
bool DecodeRequest(int request, DumpRequest& out);

// Which beams the receivers see for a request: straight, or tilted to one side
// with one of the frame's tilt sets.
struct BeamSet {
    int direction = 0;  // 0 straight, -1 left, +1 right
    int tiltSet = 0;    // 0 or 1 (tilt sets 1 and 2)
};
BeamSet BeamSetFor(const DumpRequest& request);

// Level of a sound receiver of `axis` in the given request, before the
// receiver's own faults and noise.
double ReceiverLevel(const FrameSpec& frame, const AxisSpec& axis, int receiver, const DumpRequest& request);

std::size_t PacketSize(const FrameSpec& frame);

// The cells a stylus covers at one moment: `count` cells of one axis from `first`.
struct StylusCover {
    int axis = -1;  // -1 none, 0 X, 1 Y
    int first = 0;  // 0-based receiver
    int count = 0;
    bool Covers(int axisNo, int receiver) const {
        return axisNo == axis && receiver >= first && receiver < first + count;
    }
};

// Where the frame's stylus is `seconds` after the frame's first IR request:
// nowhere before the sweep's start, after a pass without repeat, or for a
// frame without a sweep. Within each half of a pass it moves at constant
// speed: every position from the first cells to the last gets an equal share
// of the half.
StylusCover StylusAt(const FrameSpec& frame, double seconds);

// Packet number `packetNo` of a stream of `frame` started with `request`,
// with the stylus where `cover` says. Depends on nothing else, so a scenario
// always yields the same packets.
void GeneratePacket(const FrameSpec& frame, int request, std::uint64_t seed, std::uint32_t packetNo,
                    std::vector<std::uint8_t>& out, const StylusCover& cover = {});

// What getDeviceInfoST and getSysInfo answer for a frame that succeeds: its
// result, and the record filled (a recorded frame: the bytes as recorded).
int AnswerDeviceInfoST(const FrameSpec& frame, DeviceInfoST& out);
int AnswerSysInfo(const FrameSpec& frame, FrameSettings& out);

// Request-log lines, without line end.
std::string LogRegister(int result);
std::string LogGetDeviceinfo(int position, int result);
std::string LogGetDeviceInfoST(int position, int result);
std::string LogGetSysInfo(int usbIndexNo, int result);
std::string LogSetDump(int usbIndexNo, int request);

// The connected set over time (milliseconds after registration).
class Timeline {
public:
    explicit Timeline(const Scenario& scenario);

    // One flag per frame of the scenario, in scenario order.
    std::vector<bool> ConnectedAt(std::int64_t ms) const;
    // The first time after `ms` at which the set may change; -1 if never.
    std::int64_t NextChangeAfter(std::int64_t ms) const;

private:
    std::vector<bool> initial_;
    std::vector<std::pair<int, std::pair<std::size_t, bool>>> events_;  // ms, frame, connect
    int cycleMs_ = 0;
};

class SimEngine {
public:
    explicit SimEngine(Scenario scenario);

    const Scenario& scenario() const { return scenario_; }

    // Devices by position 0..n-1: the connected frames in scenario order.
    int ConnectedCount() const;
    const FrameSpec* AtPosition(int position) const;
    const FrameSpec* ConnectedFrame(int usbIndexNo) const;

    // Applies the timeline at `ms`; true if the connected set changed.
    // A streaming frame that goes away stops streaming.
    bool AdvanceTo(std::int64_t ms);
    std::int64_t NextTimelineChange(std::int64_t ms) const { return timeline_.NextChangeAfter(ms); }

    enum class DumpOutcome { UnknownFrame, NotConnected, BadRequest, Started, Stopped, Unchanged };
    // `atMs` is the library's clock (milliseconds, any fixed origin): a frame's
    // first IR request (mode code 3) starts its stylus' clock.
    DumpOutcome SetDump(int usbIndexNo, int request, double atMs = 0.0);
    // What setDump returns for an outcome: the scenario's value when the frame took it.
    int ResultOf(DumpOutcome outcome) const;

    bool Streaming() const { return streamingFrame_ >= 0; }
    int StreamingUsbIndex() const;
    int StreamingRequest() const { return streamingRequest_; }
    // Packets per second of the streaming frame: its own rate, else the library's.
    double StreamingRate() const;

    // The next packet of the streaming frame, sent at `atMs` on the clock
    // SetDump is given (the stylus is where it is then); false when no frame
    // streams, or its recording holds nothing for the request or has played
    // to its end.
    bool NextPacket(std::vector<std::uint8_t>& out, double atMs = 0.0);
    // Milliseconds from the packet NextPacket gave last to the one after it:
    // the rate's interval, or a recording's own gap; < 0 when none follows.
    double NextGapMs() const { return nextGapMs_; }

    // Request-log lines of recorded frames since the last call, in order.
    std::vector<std::string> TakeLogLines();

private:
    Scenario scenario_;
    Timeline timeline_;
    std::vector<bool> connected_;
    int streamingFrame_ = -1;  // index into scenario_.frames
    int streamingRequest_ = 0;
    std::uint32_t packetNo_ = 0;
    std::vector<double> sweepOriginMs_;  // per frame: its first IR request; NaN before it
    ReplayStream replay_;                // of a recorded streaming frame
    double nextGapMs_ = -1.0;
    std::vector<std::string> logLines_;
};

}  // namespace quorvane::sim
