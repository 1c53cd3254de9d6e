// A recording sorted for replay: per request byte, its packets in time order
// with their times, so that the same request always gets the same packets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/Reader.h"

namespace recording {

struct PacketStream {
    std::uint8_t request = 0;
    std::vector<std::uint64_t> timesUs;  // since the recording began
    std::vector<std::uint8_t> bytes;     // the packets back to back, Header::PacketSize() each

    std::size_t Count() const { return timesUs.size(); }
};

struct RequestEntry {
    std::uint64_t timeUs = 0;
    std::uint8_t request = 0;
};

enum class IndexStatus {
    Complete,    // read to its end mark
    CutShort,    // the file stops before its end mark: the complete blocks are in
    Damaged,     // a damaged block: the blocks before it are in
    TooLarge,    // more packet bytes than the limit: the blocks before the limit are in
    Unreadable,  // no header: nothing is in
};

struct RecordingIndex {
    Header header;
    std::vector<PacketStream> streams;  // by ascending request byte
    std::vector<RequestEntry> requests;
    std::uint64_t endTimeUs = 0;  // time of the last record read
    IndexStatus status = IndexStatus::Unreadable;
    std::string message;  // what the reader said at its last step, with the byte offset

    // The packets recorded under `request`; nullptr if none.
    const PacketStream* Find(std::uint8_t request) const;
};

// A 32-bit process must keep room for the rest of its work.
constexpr std::uint64_t kDefaultIndexLimitBytes = 256u << 20;

RecordingIndex IndexRecording(ByteSource& source, std::uint64_t maxPacketBytes = kDefaultIndexLimitBytes);

// The same for a file named in the system code page; "cannot open" is Unreadable.
RecordingIndex IndexRecordingFile(const std::string& path, std::uint64_t maxPacketBytes = kDefaultIndexLimitBytes);

}  // namespace recording
