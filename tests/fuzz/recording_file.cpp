// Any bytes offered as a .lgrec file. The reader either refuses the header
// with a message, or gives blocks of records in time order whose packets lie
// within what it decoded, and then stops for good with a message; it reads no
// byte past its data (the sanitizers watch) and allocates within the format's
// limits. What it gave, written again, reads back the same and complete, and
// the replay index holds the same packets.
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "recording/Recording.h"
#include "recording/RecordingIndex.h"

using namespace recording;

namespace {

struct Seen {
    RecordKind kind;
    std::uint64_t timeUs;
    std::uint8_t request;
    std::vector<std::uint8_t> packet;
    bool operator==(const Seen& o) const {
        return kind == o.kind && timeUs == o.timeUs && request == o.request && packet == o.packet;
    }
};

// Every record of a source, and the reader's last status.
ReadStatus ReadAll(ByteSource& source, Header& header, std::vector<Seen>& seen, std::uint64_t& packets) {
    Reader reader(source);
    ReadStatus status = reader.ReadHeader(header);
    if (status != ReadStatus::Ok) {
        FUZZ_REQUIRE(status != ReadStatus::End && !reader.Message().empty());
        return status;
    }
    FUZZ_REQUIRE(header.programVersion.size() <= kMaxTextBytes && header.frameName.size() <= kMaxTextBytes &&
                 header.frameVersion.size() <= kMaxTextBytes);
    Block block;
    std::uint64_t lastUs = 0;
    while ((status = reader.NextBlock(block)) == ReadStatus::Ok) {
        FUZZ_REQUIRE(!block.records.empty() && block.packetSize == header.PacketSize());
        for (const Record& r : block.records) {
            FUZZ_REQUIRE(r.timeUs >= lastUs);
            lastUs = r.timeUs;
            Seen s{r.kind, r.timeUs, r.request, {}};
            if (r.kind == RecordKind::Packet) {
                FUZZ_REQUIRE(r.packetOffset + block.packetSize <= block.packetBytes.size());
                s.packet.assign(block.Packet(r), block.Packet(r) + block.packetSize);
                ++packets;
            }
            seen.push_back(std::move(s));
        }
    }
    FUZZ_REQUIRE(!reader.Message().empty());
    FUZZ_REQUIRE(reader.NextBlock(block) == status && block.records.empty());  // it stays stopped
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    Header header;
    std::vector<Seen> seen;
    std::uint64_t packets = 0;
    const ReadStatus status = ReadAll(source, header, seen, packets);

    MemorySource again(data, size);
    const RecordingIndex index = IndexRecording(again);
    std::uint64_t indexed = 0;
    for (const PacketStream& s : index.streams) {
        FUZZ_REQUIRE(s.bytes.size() == s.Count() * header.PacketSize());
        indexed += s.Count();
    }
    FUZZ_REQUIRE(indexed == packets);
    FUZZ_REQUIRE((index.status == IndexStatus::Complete) == (status == ReadStatus::End));
    if (index.status == IndexStatus::Unreadable) return 0;

    Encoder encoder(header);
    for (const Seen& s : seen) {
        const bool taken = s.kind == RecordKind::Request
                               ? encoder.AddRequest(s.timeUs, s.request)
                               : encoder.AddPacket(s.timeUs, s.request, s.packet.data(), s.packet.size());
        FUZZ_REQUIRE(taken);
    }
    encoder.Finish();
    std::vector<std::uint8_t> file;
    encoder.TakeOutput(file);
    MemorySource written(file.data(), file.size());
    Header headerBack;
    std::vector<Seen> back;
    std::uint64_t packetsBack = 0;
    FUZZ_REQUIRE(ReadAll(written, headerBack, back, packetsBack) == ReadStatus::End);
    FUZZ_REQUIRE(headerBack == header && back == seen);
    return 0;
}
