// A recording (.lgrec) played as a frame: which packets a request gets, in
// which order, and how long to wait between them. Portable, so the native
// tier tests the schedule; the library's worker only keeps to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recording/RecordingIndex.h"
#include "sim/Scenario.h"

namespace quorvane::sim {

// A recording made ready to play.
struct Recorded {
    recording::RecordingIndex index;
    // Per stream of index.streams, the wait in ms after each packet before the
    // next; after the last packet, the wait before the loop starts again.
    // kUnknownGap where the recording cannot tell (a stream of one packet).
    std::vector<std::vector<double>> gapsMs;
    std::string note;  // what a partly read file lost; empty for a complete one
};

constexpr double kUnknownGap = -1.0;
// A loop never restarts sooner than this, so a recording whose packets all
// share one time cannot make the worker spin.
constexpr double kMinWrapGapMs = 1000.0 / kMaxRate;

// Prepares an index for play: nullptr and `reason` when nothing can be played
// (no header, damaged or cut before its first packet, no packets at all).
std::shared_ptr<const Recorded> PrepareRecorded(recording::RecordingIndex index, std::string& reason);

// Opens `path` (UTF-8) through `open` (nullptr: std::fopen) and prepares it.
std::shared_ptr<const Recorded> LoadRecorded(const std::string& path, const FileOpener& open, std::string& reason);

// A name ending in ".lgrec" (any case).
bool NamesRecording(const std::string& path);
// Bytes that begin with the recording magic.
bool StartsLikeRecording(const std::uint8_t* data, std::size_t size);

// One request's packets as a frame streams them: from the first recorded one,
// at the recorded pace, looping or stopping at the end.
class ReplayStream {
public:
    ReplayStream() = default;
    // `fallbackGapMs` paces a stream whose recording cannot tell its pace.
    ReplayStream(const Recorded& recorded, std::uint8_t request, bool loop, double fallbackGapMs);

    bool HasPackets() const { return stream_ != nullptr; }
    // Copies the next packet as recorded; false when none were recorded or
    // the stream has ended.
    bool Next(std::vector<std::uint8_t>& out);
    // Milliseconds from the packet last taken to the next; < 0 when none follows.
    double GapMs() const { return gapMs_; }
    // Played to its end without looping.
    bool Ended() const { return ended_; }
    std::uint64_t Sent() const { return sent_; }

private:
    const recording::PacketStream* stream_ = nullptr;
    const std::vector<double>* gaps_ = nullptr;
    std::size_t packetSize_ = 0;
    bool loop_ = true;
    double fallbackGapMs_ = 50.0;
    std::size_t next_ = 0;
    std::uint64_t sent_ = 0;
    bool ended_ = false;
    double gapMs_ = -1.0;
};

// Request-log lines of recorded frames, without line end.
std::string LogReplayNotRecorded(int usbIndexNo, int request);
std::string LogReplayEnded(int usbIndexNo, int request, std::uint64_t packets);

}  // namespace quorvane::sim
