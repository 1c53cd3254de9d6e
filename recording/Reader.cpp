#include "recording/Reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "recording/Coding.h"

namespace recording {

using namespace coding;

namespace {

// The message for a file that ends inside `where`.
std::string CutText(std::uint64_t fileEnd, const char* where, std::uint64_t blocks) {
    return Format("cut short: the file ends at byte %llu inside %s; the %llu complete block(s) before it were read",
                  U(fileEnd), where, U(blocks));
}

}  // namespace

// ---------------------------------------------------------------- sources

std::size_t MemorySource::Read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = std::min(size, size_ - pos_);
    if (n > 0) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

std::size_t FileSource::Read(std::uint8_t* buffer, std::size_t size) { return std::fread(buffer, 1, size, file_); }

bool FileSource::Failed() const { return std::ferror(file_) != 0; }

// ---------------------------------------------------------------- record layer

bool DecodeRecords(const std::uint8_t* data, std::size_t size, std::uint64_t baseTimeUs, std::size_t packetSize,
                   Block& block, std::string& error) {
    block.Clear();
    block.packetSize = packetSize;
    Predictor predictor;
    std::uint64_t timeUs = baseTimeUs;
    for (std::size_t pos = 0; pos < size;) {
        const std::size_t at = pos;
        const std::uint8_t type = data[pos++];
        if (type < kTypeRequest || type > kTypePredictedPacket) {
            error = Format("unknown record type 0x%02X at byte %llu of the block's records", type, U(at));
            return false;
        }
        std::uint64_t delta = 0;
        for (unsigned shift = 0;; shift += 7) {
            if (pos == size) {
                error = Format("record at byte %llu of the block's records ends inside its time", U(at));
                return false;
            }
            const std::uint8_t b = data[pos++];
            if (shift == 63 && b > 1) {
                error = Format("record at byte %llu of the block's records: time above 64 bits", U(at));
                return false;
            }
            delta |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) break;
        }
        if (delta > UINT64_MAX - timeUs) {
            error = Format("record at byte %llu of the block's records: time beyond 2^64 microseconds", U(at));
            return false;
        }
        timeUs += delta;
        if (pos == size) {
            error = Format("record at byte %llu of the block's records ends before its request byte", U(at));
            return false;
        }
        Record record;
        record.timeUs = timeUs;
        record.request = data[pos++];
        record.kind = type == kTypeRequest ? RecordKind::Request : RecordKind::Packet;
        if (type != kTypeRequest) {
            if (size - pos < packetSize) {
                error = Format("packet at byte %llu of the block's records needs %llu bytes, %llu are left", U(at),
                               U(packetSize), U(size - pos));
                return false;
            }
            std::uint16_t* state = predictor.Find(record.request);
            if (type == kTypePredictedPacket && !state) {
                error = Format(
                    "packet at byte %llu of the block's records is coded against an earlier packet of "
                    "request 0x%02X, and the block has none",
                    U(at), record.request);
                return false;
            }
            record.packetOffset = block.packetBytes.size();
            block.packetBytes.insert(block.packetBytes.end(), data + pos, data + pos + packetSize);
            std::uint8_t* p = block.packetBytes.data() + record.packetOffset;
            if (type == kTypePlainPacket && !state) {
                predictor.Start(record.request, p, packetSize);
            } else {
                for (std::size_t i = 0; i < packetSize; ++i) {
                    if (type == kTypePredictedPacket)
                        p[i] = static_cast<std::uint8_t>(p[i] + Predictor::Guess(state[i]));
                    Predictor::Learn(state[i], p[i]);
                }
            }
            pos += packetSize;
        }
        block.records.push_back(record);
    }
    return true;
}

// ---------------------------------------------------------------- Reader

std::size_t Reader::Fill(std::uint8_t* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = source_.Read(buffer + got, size - got);
        if (n == 0) break;
        got += n;
    }
    offset_ += got;
    return got;
}

ReadStatus Reader::Fail(ReadStatus status, std::string message) {
    if (source_.Failed()) {
        status = ReadStatus::Bad;
        message = Format("read error at byte %llu", U(offset_));
    }
    done_ = status;
    message_ = std::move(message);
    return status;
}

ReadStatus Reader::ReadHeader(Header& header) {
    if (headerRead_ || done_ != ReadStatus::Ok) return Fail(ReadStatus::Bad, "the header was read already");
    std::uint8_t head[kFileHeadBytes];
    const std::size_t got = Fill(head, sizeof head);
    if (got == 0 && !source_.Failed()) return Fail(ReadStatus::Bad, "empty file: not a recording");
    if (std::memcmp(head, kMagic, std::min(got, kMagicBytes)) != 0)
        return Fail(ReadStatus::Bad, "not a Lumagrid recording: the file does not start with the .lgrec magic");
    if (got < sizeof head) return Fail(ReadStatus::CutShort, CutText(offset_, "the header", 0));
    const auto version = static_cast<std::uint16_t>(GetLE(head + kMagicBytes, 2));
    if (version != kFormatVersion)
        return Fail(ReadStatus::Bad, Format("format version %u at byte %llu; this program reads version %u", version,
                                            U(kMagicBytes), kFormatVersion));
    const std::uint64_t bodyLength = GetLE(head + kMagicBytes + 2, 4);
    if (bodyLength > kMaxHeaderBodyBytes)
        return Fail(ReadStatus::Bad, Format("header length %llu at byte %llu is above the limit of %llu", U(bodyLength),
                                            U(kMagicBytes + 2), U(kMaxHeaderBodyBytes)));
    std::uint8_t body[kMaxHeaderBodyBytes + 4];
    const std::size_t bodySize = static_cast<std::size_t>(bodyLength);
    if (Fill(body, bodySize + 4) < bodySize + 4) return Fail(ReadStatus::CutShort, CutText(offset_, "the header", 0));
    const std::uint32_t crc = Crc(body, bodySize, Crc(head, sizeof head));
    if (crc != GetLE(body + bodySize, 4))
        return Fail(ReadStatus::Bad, Format("the header's checksum at byte %llu does not match: the header is damaged",
                                            U(kFileHeadBytes + bodySize)));

    // The fields, each within the body.
    std::size_t pos = 0;
    bool shortBody = false;
    const auto take = [&](std::size_t n) -> const std::uint8_t* {
        if (shortBody || bodySize - pos < n) {
            shortBody = true;
            return nullptr;
        }
        pos += n;
        return body + pos - n;
    };
    const auto number = [&](int bytes) -> std::uint64_t {
        const std::uint8_t* p = take(static_cast<std::size_t>(bytes));
        return p ? GetLE(p, bytes) : 0;
    };
    const auto text = [&](std::string& out) {
        const std::size_t n = static_cast<std::size_t>(number(1));
        const std::uint8_t* p = take(n);
        out.assign(p ? reinterpret_cast<const char*>(p) : "", p ? n : 0);
    };
    Header h;
    h.started.year = static_cast<std::uint16_t>(number(2));
    for (std::uint8_t* field :
         {&h.started.month, &h.started.day, &h.started.hour, &h.started.minute, &h.started.second})
        *field = static_cast<std::uint8_t>(number(1));
    h.started.millisecond = static_cast<std::uint16_t>(number(2));
    text(h.programVersion);
    text(h.frameName);
    text(h.frameVersion);
    h.deviceType = static_cast<std::int32_t>(number(4));
    h.usbIndexNo = static_cast<std::int32_t>(number(4));
    h.deviceInfoStResult = static_cast<std::int32_t>(number(4));
    if (const std::uint8_t* p = take(kDeviceInfoStBytes)) std::memcpy(h.deviceInfoSt.data(), p, kDeviceInfoStBytes);
    h.sysInfoResult = static_cast<std::int32_t>(number(4));
    if (const std::uint8_t* p = take(kFrameSettingsBytes)) std::memcpy(h.frameSettings.data(), p, kFrameSettingsBytes);
    h.xCount = static_cast<std::uint16_t>(number(2));
    h.yCount = static_cast<std::uint16_t>(number(2));
    if (shortBody)
        return Fail(ReadStatus::Bad, Format("the header's fields run past its length (%llu bytes at byte %llu)",
                                            U(bodySize), U(kFileHeadBytes)));
    if (pos != bodySize)
        return Fail(ReadStatus::Bad, Format("the header holds %llu bytes after its last field (byte %llu)",
                                            U(bodySize - pos), U(kFileHeadBytes + pos)));
    header = std::move(h);
    packetSize_ = header.PacketSize();
    headerRead_ = true;
    return ReadStatus::Ok;
}

ReadStatus Reader::NextBlock(Block& block) {
    block.Clear();
    if (done_ != ReadStatus::Ok) return done_;
    if (!headerRead_) return Fail(ReadStatus::Bad, "no header read");
    const std::uint64_t at = offset_;
    const auto here = [&] { return Format("block %llu at byte %llu", U(blocks_ + 1), U(at)); };
    std::uint8_t head[kBlockHeadBytes];
    const std::size_t got = Fill(head, 4);
    if (got > 0 && got < 4 && (std::memcmp(head, kEndTag, got) == 0 || std::memcmp(head, kBlockTag, got) == 0))
        return Fail(ReadStatus::CutShort, CutText(offset_, "the head of the next block or the end mark", blocks_));
    if (got == 0)
        return Fail(ReadStatus::CutShort,
                    Format("cut short: the file ends at byte %llu after %llu complete block(s), without the end mark "
                           "(the recording was not closed)",
                           U(at), U(blocks_)));
    if (got == 4 && std::memcmp(head, kEndTag, 4) == 0) return ReadEndMark(at);
    if (got < 4 || std::memcmp(head, kBlockTag, 4) != 0)
        return Fail(ReadStatus::Bad, Format("%s: no block starts here", here().c_str()));
    if (Fill(head + 4, kBlockHeadBytes - 4) < kBlockHeadBytes - 4)
        return Fail(ReadStatus::CutShort, CutText(offset_, ("the head of " + here()).c_str(), blocks_));

    const std::uint64_t baseTimeUs = GetLE(head + 4, 8);
    const std::uint64_t count = GetLE(head + 12, 4);
    const std::uint64_t rawSize = GetLE(head + 16, 4);
    const std::uint64_t storedSize = GetLE(head + 20, 4);
    if (rawSize == 0 || rawSize > kMaxBlockRawBytes)
        return Fail(ReadStatus::Bad, Format("%s: %llu bytes of records, outside 1..%llu", here().c_str(), U(rawSize),
                                            U(kMaxBlockRawBytes)));
    if (storedSize > StoredBound(rawSize))
        return Fail(ReadStatus::Bad, Format("%s: %llu compressed bytes for %llu bytes of records, more than zlib ever "
                                            "makes",
                                            here().c_str(), U(storedSize), U(rawSize)));
    if (count == 0 || count > rawSize / kMinRecordBytes)
        return Fail(ReadStatus::Bad,
                    Format("%s: %llu records cannot fit in %llu bytes", here().c_str(), U(count), U(rawSize)));
    if (baseTimeUs < lastTimeUs_)
        return Fail(ReadStatus::Bad, Format("%s starts at %llu us, before the previous block's last record (%llu us)",
                                            here().c_str(), U(baseTimeUs), U(lastTimeUs_)));
    stored_.resize(static_cast<std::size_t>(storedSize));
    if (Fill(stored_.data(), stored_.size()) < stored_.size())
        return Fail(ReadStatus::CutShort, CutText(offset_, here().c_str(), blocks_));
    if (Crc(stored_.data(), stored_.size(), Crc(head, kBlockHeadBytes - 4)) != GetLE(head + 24, 4))
        return Fail(ReadStatus::Bad, Format("%s: checksum does not match: the block is damaged", here().c_str()));

    raw_.resize(static_cast<std::size_t>(rawSize));
    uLongf rawLength = static_cast<uLongf>(rawSize);
    uLong storedLength = static_cast<uLong>(storedSize);
    const int z = uncompress2(raw_.data(), &rawLength, stored_.data(), &storedLength);
    if (z != Z_OK || rawLength != rawSize || storedLength != storedSize)
        return Fail(ReadStatus::Bad, Format("%s: the compressed records do not unpack to the %llu bytes announced "
                                            "(zlib %d)",
                                            here().c_str(), U(rawSize), z));
    std::string error;
    if (!DecodeRecords(raw_.data(), raw_.size(), baseTimeUs, packetSize_, block, error))
        return Fail(ReadStatus::Bad, here() + ": " + error);
    if (block.records.size() != count)
        return Fail(ReadStatus::Bad, Format("%s holds %llu records, its head says %llu", here().c_str(),
                                            U(block.records.size()), U(count)));
    ++blocks_;
    records_ += block.records.size();
    for (const Record& r : block.records) packets_ += r.kind == RecordKind::Packet;
    lastTimeUs_ = block.records.back().timeUs;
    return ReadStatus::Ok;
}

ReadStatus Reader::ReadEndMark(std::uint64_t at) {
    std::uint8_t mark[kEndMarkBytes];
    std::memcpy(mark, kEndTag, 4);
    if (Fill(mark + 4, kEndMarkBytes - 4) < kEndMarkBytes - 4)
        return Fail(ReadStatus::CutShort, CutText(offset_, "the end mark", blocks_));
    if (Crc(mark, kEndMarkBytes - 4) != GetLE(mark + 28, 4))
        return Fail(ReadStatus::Bad, Format("the end mark at byte %llu is damaged (checksum)", U(at)));
    const std::uint64_t lastTimeUs = GetLE(mark + 4, 8), records = GetLE(mark + 12, 8), packets = GetLE(mark + 20, 8);
    if (lastTimeUs != lastTimeUs_ || records != records_ || packets != packets_)
        return Fail(ReadStatus::Bad,
                    Format("the end mark at byte %llu counts %llu records, %llu packets, up to %llu us; the blocks "
                           "hold %llu, %llu, up to %llu us",
                           U(at), U(records), U(packets), U(lastTimeUs), U(records_), U(packets_), U(lastTimeUs_)));
    std::uint8_t extra;
    if (Fill(&extra, 1) != 0)
        return Fail(ReadStatus::Bad, Format("data after the end mark, at byte %llu", U(at + kEndMarkBytes)));
    return Fail(ReadStatus::End,
                Format("complete: %llu block(s), %llu records, %llu packets", U(blocks_), U(records_), U(packets_)));
}

}  // namespace recording
