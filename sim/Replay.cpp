#include "sim/Replay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recording/Playable.h"

namespace quorvane::sim {

namespace {

// The waits of one stream. A request sent between two of its packets means
// the frame was asked something else meanwhile (or asked again): the time
// between them is not the frame's pace, so that gap, and the wrap, get the
// mean of the other gaps. Requests are in time order, as recorded.
std::vector<double> GapsOf(const recording::PacketStream& stream,
                           const std::vector<recording::RequestEntry>& requests) {
    const std::size_t n = stream.Count();
    std::vector<double> gaps(n, kUnknownGap);
    std::vector<bool> seam(n, false);
    double sum = 0.0;
    std::size_t counted = 0;
    std::size_t r = 0;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const std::uint64_t t0 = stream.timesUs[k];
        const std::uint64_t t1 = stream.timesUs[k + 1];
        while (r < requests.size() && requests[r].timeUs <= t0) ++r;
        seam[k] = r < requests.size() && requests[r].timeUs <= t1;
        if (seam[k]) continue;
        gaps[k] = static_cast<double>(t1 - t0) / 1000.0;
        sum += gaps[k];
        ++counted;
    }
    const double mean = counted > 0 ? sum / static_cast<double>(counted) : kUnknownGap;
    for (std::size_t k = 0; k + 1 < n; ++k)
        if (seam[k]) gaps[k] = mean;
    if (n > 0) gaps[n - 1] = mean;
    return gaps;
}

}  // namespace

std::shared_ptr<const Recorded> PrepareRecorded(recording::RecordingIndex index, std::string& reason) {
    using recording::IndexStatus;
    if (index.status == IndexStatus::Unreadable) {
        reason = index.message;
        return nullptr;
    }
    reason = recording::CountsBeyondPackets(index.header);
    if (!reason.empty()) return nullptr;
    if (index.streams.empty()) {
        reason = index.status == IndexStatus::Complete ? "the recording holds no packets"
                                                       : "no packet before the fault: " + index.message;
        return nullptr;
    }
    auto recorded = std::make_shared<Recorded>();
    if (index.status != IndexStatus::Complete) recorded->note = "played as far as it could be read: " + index.message;
    for (const recording::PacketStream& s : index.streams) recorded->gapsMs.push_back(GapsOf(s, index.requests));
    recorded->index = std::move(index);
    return recorded;
}

std::shared_ptr<const Recorded> LoadRecorded(const std::string& path, const FileOpener& open, std::string& reason) {
    errno = 0;
    std::FILE* file = open ? open(path) : std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = std::string("cannot open the file") + (errno ? std::string(": ") + std::strerror(errno) : "");
        return nullptr;
    }
    recording::FileSource source(file);
    recording::RecordingIndex index = recording::IndexRecording(source);
    std::fclose(file);
    return PrepareRecorded(std::move(index), reason);
}

bool NamesRecording(const std::string& path) {
    static const char kExtension[] = ".lgrec";
    const std::size_t n = sizeof kExtension - 1;
    if (path.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = path[path.size() - n + i];
        if (std::tolower(static_cast<unsigned char>(c)) != kExtension[i]) return false;
    }
    return true;
}

bool StartsLikeRecording(const std::uint8_t* data, std::size_t size) {
    return size >= recording::kMagicBytes && std::memcmp(data, recording::kMagic, recording::kMagicBytes) == 0;
}

ReplayStream::ReplayStream(const Recorded& recorded, std::uint8_t request, bool loop, double fallbackGapMs)
    : loop_(loop), fallbackGapMs_(fallbackGapMs) {
    const auto& streams = recorded.index.streams;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (streams[i].request == request && streams[i].Count() > 0) {
            stream_ = &streams[i];
            gaps_ = &recorded.gapsMs[i];
            packetSize_ = recorded.index.header.PacketSize();
        }
    }
}

bool ReplayStream::Next(std::vector<std::uint8_t>& out) {
    if (!stream_ || ended_) {
        gapMs_ = -1.0;
        return false;
    }
    const std::size_t k = next_;
    const auto* p = stream_->bytes.data() + k * packetSize_;
    out.assign(p, p + packetSize_);
    ++sent_;
    double gap = (*gaps_)[k];
    if (gap < 0.0) gap = fallbackGapMs_;
    if (k + 1 < stream_->Count()) {
        next_ = k + 1;
    } else if (loop_) {
        next_ = 0;
        gap = std::max(gap, kMinWrapGapMs);
    } else {
        ended_ = true;
        gap = -1.0;
    }
    gapMs_ = gap;
    return true;
}

std::string LogReplayNotRecorded(int usbIndexNo, int request) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(request));
    return "replay " + std::to_string(usbIndexNo) + " " + hex + " not recorded";
}

std::string LogReplayEnded(int usbIndexNo, int request, std::uint64_t packets) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(request));
    return "replay " + std::to_string(usbIndexNo) + " " + hex + " ended after " + std::to_string(packets) + " packets";
}

}  // namespace quorvane::sim
