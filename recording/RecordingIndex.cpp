#include "recording/RecordingIndex.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace recording {

const PacketStream* RecordingIndex::Find(std::uint8_t request) const {
    for (const PacketStream& s : streams)
        if (s.request == request) return &s;
    return nullptr;
}

RecordingIndex IndexRecording(ByteSource& source, std::uint64_t maxPacketBytes) {
    RecordingIndex index;
    Reader reader(source);
    if (reader.ReadHeader(index.header) != ReadStatus::Ok) {
        index.message = reader.Message();
        return index;
    }
    std::array<int, 256> slot;
    slot.fill(-1);
    std::uint64_t packetBytes = 0;
    Block block;
    ReadStatus status;
    while ((status = reader.NextBlock(block)) == ReadStatus::Ok) {
        if (packetBytes + block.packetBytes.size() > maxPacketBytes) {
            index.status = IndexStatus::TooLarge;
            index.message = "more than " + std::to_string(maxPacketBytes >> 20) + " MiB of packets: only the first " +
                            std::to_string(reader.BlocksRead() - 1) + " block(s), up to " +
                            std::to_string(index.endTimeUs / 1000) + " ms, are kept";
            break;
        }
        packetBytes += block.packetBytes.size();
        for (const Record& r : block.records) {
            if (r.kind == RecordKind::Request) {
                index.requests.push_back({r.timeUs, r.request});
                continue;
            }
            if (slot[r.request] < 0) {
                slot[r.request] = static_cast<int>(index.streams.size());
                index.streams.emplace_back();
                index.streams.back().request = r.request;
            }
            PacketStream& s = index.streams[static_cast<std::size_t>(slot[r.request])];
            s.timesUs.push_back(r.timeUs);
            const std::uint8_t* p = block.Packet(r);
            s.bytes.insert(s.bytes.end(), p, p + block.packetSize);
        }
        index.endTimeUs = block.records.back().timeUs;
    }
    if (index.status != IndexStatus::TooLarge) {
        index.status = status == ReadStatus::End        ? IndexStatus::Complete
                       : status == ReadStatus::CutShort ? IndexStatus::CutShort
                                                        : IndexStatus::Damaged;
        index.message = reader.Message();
    }
    std::sort(index.streams.begin(), index.streams.end(),
              [](const PacketStream& a, const PacketStream& b) { return a.request < b.request; });
    return index;
}

RecordingIndex IndexRecordingFile(const std::string& path, std::uint64_t maxPacketBytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        RecordingIndex index;
        index.message = "cannot open " + path + ": " + std::strerror(errno);
        return index;
    }
    FileSource source(file);
    RecordingIndex index = IndexRecording(source, maxPacketBytes);
    std::fclose(file);
    return index;
}

}  // namespace recording
