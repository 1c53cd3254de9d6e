// The record layer of one block, uncompressed: the part of a .lgrec file the
// whole-file target seldom reaches, since a mutation must keep a checksum and
// a zlib stream whole to get there. Two bytes choose the packet size, the rest
// are the records. Decoding either names a byte of the records, or gives
// records in time order with packets inside the decoded bytes; those records,
// encoded again, decode to the same.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "recording/Recording.h"

using namespace recording;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Header header;
    header.xCount = static_cast<std::uint16_t>((data[0] | data[1] << 8) % 2048);
    const std::uint64_t baseUs = data[0] * 1000003ull;
    Block block;
    std::string error;
    if (!DecodeRecords(data + 2, size - 2, baseUs, header.PacketSize(), block, error)) {
        FUZZ_REQUIRE(error.find("at byte ") != std::string::npos);
        return 0;
    }
    FUZZ_REQUIRE(block.records.size() <= (size - 2) / kMinRecordBytes);
    std::uint64_t lastUs = baseUs;
    // One block for the whole input, so that the coding against earlier packets is exercised as decoded.
    Encoder encoder(header, {kMaxBlockRawBytes, UINT64_MAX});
    for (const Record& r : block.records) {
        FUZZ_REQUIRE(r.timeUs >= lastUs);
        lastUs = r.timeUs;
        if (r.kind == RecordKind::Request) {
            FUZZ_REQUIRE(encoder.AddRequest(r.timeUs, r.request));
        } else {
            FUZZ_REQUIRE(r.packetOffset + block.packetSize <= block.packetBytes.size());
            FUZZ_REQUIRE(encoder.AddPacket(r.timeUs, r.request, block.Packet(r), block.packetSize));
        }
    }
    encoder.Finish();
    std::vector<std::uint8_t> file;
    encoder.TakeOutput(file);
    MemorySource source(file.data(), file.size());
    Reader reader(source);
    Header back;
    FUZZ_REQUIRE(reader.ReadHeader(back) == ReadStatus::Ok);
    std::size_t i = 0;
    Block again;
    ReadStatus status;
    while ((status = reader.NextBlock(again)) == ReadStatus::Ok) {
        for (const Record& r : again.records) {
            FUZZ_REQUIRE(i < block.records.size());
            const Record& want = block.records[i++];
            FUZZ_REQUIRE(r.kind == want.kind && r.timeUs == want.timeUs && r.request == want.request);
            if (r.kind == RecordKind::Packet)
                FUZZ_REQUIRE(std::equal(again.Packet(r), again.Packet(r) + again.packetSize, block.Packet(want)));
        }
    }
    FUZZ_REQUIRE(status == ReadStatus::End && i == block.records.size());
    return 0;
}
