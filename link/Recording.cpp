#include "link/Recording.h"

#include <zlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace recording {

const std::uint8_t kMagic[kMagicBytes] = {0x89, 'L', 'G', 'R', 'E', 'C', 0x0D, 0x0A};

namespace {

// Record types of the block layer.
constexpr std::uint8_t kTypeRequest = 1;
constexpr std::uint8_t kTypePlainPacket = 2;
constexpr std::uint8_t kTypePredictedPacket = 3;

constexpr std::uint8_t kBlockTag[4] = {'L', 'G', 'B', 'K'};
constexpr std::uint8_t kEndTag[4] = {'L', 'G', 'E', 'N'};
constexpr std::size_t kFileHeadBytes = kMagicBytes + 2 + 4;  // magic, version, body length
constexpr std::size_t kBlockHeadBytes = 28;
constexpr std::size_t kEndMarkBytes = 32;
constexpr std::size_t kMaxVarintBytes = 10;
constexpr std::size_t kMaxRecordHeadBytes = 1 + kMaxVarintBytes + 1;

// ---- little-endian fields

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutBytes(std::vector<std::uint8_t>& out, const std::uint8_t* bytes, std::size_t size) {
    out.insert(out.end(), bytes, bytes + size);
}
void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), kMaxTextBytes);
    out.push_back(static_cast<std::uint8_t>(n));
    PutBytes(out, reinterpret_cast<const std::uint8_t*>(text.data()), n);
}

std::uint64_t GetLE(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// Unsigned LEB128: 7 bits per byte, low group first.
std::uint8_t* PutVarint(std::uint8_t* p, std::uint64_t v) {
    while (v >= 0x80) {
        *p++ = static_cast<std::uint8_t>(v | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<std::uint8_t>(v);
    return p;
}

std::uint32_t Crc(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

#if defined(__GNUC__)
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif
// For the %llu of every size and offset in messages (MinGW's printf lacks %llu).
unsigned long long U(std::uint64_t v) { return v; }

std::string Format(const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// The prediction a packet byte is coded against: an average of the earlier
// packets of its request byte in the block, in 1/256 steps, each new packet
// weighing a quarter. Receiver noise makes the previous packet alone a worse
// guess than an average; a level that moves is followed within a few packets.
struct Predictor {
    std::array<std::int32_t, 256> slot;  // request byte -> first state index, -1: none yet
    std::vector<std::uint16_t> state;
    std::vector<std::uint8_t> used;

    Predictor() { slot.fill(-1); }
    void Reset() {
        for (const std::uint8_t r : used) slot[r] = -1;
        used.clear();
        state.clear();
    }
    std::uint16_t* Find(std::uint8_t request) { return slot[request] < 0 ? nullptr : state.data() + slot[request]; }
    void Start(std::uint8_t request, const std::uint8_t* packet, std::size_t size) {
        slot[request] = static_cast<std::int32_t>(state.size());
        used.push_back(request);
        for (std::size_t i = 0; i < size; ++i) state.push_back(static_cast<std::uint16_t>(packet[i] << 8));
    }
    static std::uint8_t Guess(std::uint16_t s) { return static_cast<std::uint8_t>((s + 128) >> 8); }
    static void Learn(std::uint16_t& s, std::uint8_t value) {
        const int target = value << 8;
        s = static_cast<std::uint16_t>(s + (target - s) / 4);
    }
};

// The most bytes zlib stores for `raw` bytes (its compressBound), fixed here so
// that what a reader accepts does not change with the zlib it is built with.
std::uint64_t StoredBound(std::uint64_t raw) { return raw + (raw >> 12) + (raw >> 14) + (raw >> 25) + 13; }

// The message for a file that ends inside `where`.
std::string CutText(std::uint64_t fileEnd, const char* where, std::uint64_t blocks) {
    return Format("cut short: the file ends at byte %llu inside %s; the %llu complete block(s) before it were read",
                  U(fileEnd), where, U(blocks));
}

}  // namespace

bool LocalTime::operator==(const LocalTime& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
           second == o.second && millisecond == o.millisecond;
}

std::string ToText(const LocalTime& t) {
    return Format("%04u-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  t.millisecond);
}

bool Header::operator==(const Header& o) const {
    return programVersion == o.programVersion && started == o.started && frameName == o.frameName &&
           frameVersion == o.frameVersion && deviceType == o.deviceType && usbIndexNo == o.usbIndexNo &&
           deviceInfoStResult == o.deviceInfoStResult && deviceInfoSt == o.deviceInfoSt &&
           sysInfoResult == o.sysInfoResult && frameSettings == o.frameSettings && xCount == o.xCount &&
           yCount == o.yCount;
}

void Block::Clear() {
    records.clear();
    packetBytes.clear();
    packetSize = 0;
}

// ---------------------------------------------------------------- Encoder

struct Encoder::Impl {
    z_stream deflater{};
    bool deflaterReady = false;
    std::vector<std::uint8_t> raw;  // the open block's records
    std::uint64_t baseTimeUs = 0;
    std::uint64_t prevTimeUs = 0;   // of the block's last record
    std::uint32_t blockRecords = 0;
    Predictor predictor;
    std::vector<std::uint8_t> stored;

    ~Impl() {
        if (deflaterReady) deflateEnd(&deflater);
    }

    std::uint8_t* Grow(std::size_t bytes) {
        const std::size_t at = raw.size();
        raw.resize(at + bytes);
        return raw.data() + at;
    }
    std::uint8_t* RecordHead(std::uint8_t type, std::uint64_t timeUs, std::uint8_t request) {
        std::uint8_t* p = Grow(kMaxRecordHeadBytes);
        *p++ = type;
        p = PutVarint(p, timeUs - prevTimeUs);
        *p++ = request;
        prevTimeUs = timeUs;
        ++blockRecords;
        return p;
    }
};

Encoder::Encoder(const Header& header, EncoderOptions options)
    : header_(header), options_(options), impl_(std::make_unique<Impl>()) {
    options_.blockBytes = std::clamp<std::size_t>(options_.blockBytes, 1, kMaxBlockRawBytes / 2);
    for (std::string* text : {&header_.programVersion, &header_.frameName, &header_.frameVersion})
        if (text->size() > kMaxTextBytes) text->resize(kMaxTextBytes);

    std::vector<std::uint8_t> body;
    const LocalTime& t = header_.started;
    PutU16(body, t.year);
    for (const std::uint8_t v : {t.month, t.day, t.hour, t.minute, t.second}) body.push_back(v);
    PutU16(body, t.millisecond);
    PutText(body, header_.programVersion);
    PutText(body, header_.frameName);
    PutText(body, header_.frameVersion);
    PutU32(body, static_cast<std::uint32_t>(header_.deviceType));
    PutU32(body, static_cast<std::uint32_t>(header_.usbIndexNo));
    PutU32(body, static_cast<std::uint32_t>(header_.deviceInfoStResult));
    PutBytes(body, header_.deviceInfoSt.data(), header_.deviceInfoSt.size());
    PutU32(body, static_cast<std::uint32_t>(header_.sysInfoResult));
    PutBytes(body, header_.frameSettings.data(), header_.frameSettings.size());
    PutU16(body, header_.xCount);
    PutU16(body, header_.yCount);

    PutBytes(output_, kMagic, kMagicBytes);
    PutU16(output_, kFormatVersion);
    PutU32(output_, static_cast<std::uint32_t>(body.size()));
    PutBytes(output_, body.data(), body.size());
    PutU32(output_, Crc(output_.data(), output_.size()));

    impl_->raw.reserve(options_.blockBytes + header_.PacketSize() + kMaxRecordHeadBytes);
}

Encoder::~Encoder() = default;

bool Encoder::Admit(std::uint64_t& timeUs) {
    if (finished_) return false;
    timeUs = std::max(timeUs, lastTimeUs_);
    Impl& b = *impl_;
    if (b.blockRecords > 0 && timeUs - b.baseTimeUs >= options_.blockSpanUs) SealBlock();
    if (b.blockRecords == 0) b.baseTimeUs = b.prevTimeUs = timeUs;
    lastTimeUs_ = timeUs;
    return true;
}

void Encoder::AfterRecord() {
    ++records_;
    if (impl_->raw.size() >= options_.blockBytes) SealBlock();
}

bool Encoder::AddRequest(std::uint64_t timeUs, std::uint8_t request) {
    if (!Admit(timeUs)) return false;
    Impl& b = *impl_;
    const std::uint8_t* end = b.RecordHead(kTypeRequest, timeUs, request);
    b.raw.resize(static_cast<std::size_t>(end - b.raw.data()));
    AfterRecord();
    return true;
}

bool Encoder::AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes, std::size_t size) {
    if (size != header_.PacketSize() || finished_) return false;
    Admit(timeUs);
    Impl& b = *impl_;
    std::uint16_t* state = b.predictor.Find(request);
    std::uint8_t* p = b.RecordHead(state ? kTypePredictedPacket : kTypePlainPacket, timeUs, request);
    const std::size_t at = static_cast<std::size_t>(p - b.raw.data());
    b.raw.resize(at + size);
    p = b.raw.data() + at;
    if (state) {
        for (std::size_t i = 0; i < size; ++i) {
            p[i] = static_cast<std::uint8_t>(bytes[i] - Predictor::Guess(state[i]));
            Predictor::Learn(state[i], bytes[i]);
        }
    } else {
        std::memcpy(p, bytes, size);
        b.predictor.Start(request, bytes, size);
    }
    ++packets_;
    AfterRecord();
    return true;
}

void Encoder::SealBlock() {
    Impl& b = *impl_;
    if (b.blockRecords == 0) return;
    if (!b.deflaterReady) {
        deflateInit2(&b.deflater, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_RLE);
        b.deflaterReady = true;
    } else {
        deflateReset(&b.deflater);
    }
    // A full block: run-length matches only. The coded bytes are mostly small
    // residuals without long repeats, so a full match search costs time and
    // gains little, while runs (a quiet or dead receiver) still shrink. A
    // block sealed by its time is small and starts with a packet coded
    // plainly: there the search costs little and wins back what a short
    // block loses.
    deflateParams(&b.deflater, Z_DEFAULT_COMPRESSION, b.raw.size() < options_.blockBytes ? Z_FILTERED : Z_RLE);
    b.stored.resize(deflateBound(&b.deflater, static_cast<uLong>(b.raw.size())));
    b.deflater.next_in = b.raw.data();
    b.deflater.avail_in = static_cast<uInt>(b.raw.size());
    b.deflater.next_out = b.stored.data();
    b.deflater.avail_out = static_cast<uInt>(b.stored.size());
    deflate(&b.deflater, Z_FINISH);  // Z_STREAM_END: the output holds the bound
    const std::size_t storedSize = b.deflater.total_out;

    const std::size_t at = output_.size();
    PutBytes(output_, kBlockTag, 4);
    PutU64(output_, b.baseTimeUs);
    PutU32(output_, b.blockRecords);
    PutU32(output_, static_cast<std::uint32_t>(b.raw.size()));
    PutU32(output_, static_cast<std::uint32_t>(storedSize));
    const std::uint32_t crc = Crc(b.stored.data(), storedSize, Crc(output_.data() + at, kBlockHeadBytes - 4));
    PutU32(output_, crc);
    PutBytes(output_, b.stored.data(), storedSize);

    b.raw.clear();
    b.blockRecords = 0;
    b.predictor.Reset();
}

void Encoder::SealIfDue(std::uint64_t nowUs) {
    if (impl_->blockRecords > 0 && nowUs >= impl_->baseTimeUs && nowUs - impl_->baseTimeUs >= options_.blockSpanUs)
        SealBlock();
}

void Encoder::Finish() {
    if (finished_) return;
    SealBlock();
    const std::size_t at = output_.size();
    PutBytes(output_, kEndTag, 4);
    PutU64(output_, lastTimeUs_);
    PutU64(output_, records_);
    PutU64(output_, packets_);
    PutU32(output_, Crc(output_.data() + at, kEndMarkBytes - 4));
    finished_ = true;
}

void Encoder::TakeOutput(std::vector<std::uint8_t>& out) {
    out.insert(out.end(), output_.begin(), output_.end());
    output_.clear();
}

// ---------------------------------------------------------------- RecordQueue

namespace {
constexpr std::size_t kQueuedHeadBytes = 1 + 8 + 1 + 4;  // kind, time, request, size
}

void RecordQueue::Add(RecordKind kind, std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes,
                      std::size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queued_.size() + kQueuedHeadBytes + size > kMaxQueuedBytes) {
        ++dropped_;
        return;
    }
    queued_.push_back(static_cast<std::uint8_t>(kind));
    PutU64(queued_, timeUs);
    queued_.push_back(request);
    PutU32(queued_, static_cast<std::uint32_t>(size));
    PutBytes(queued_, bytes, size);
}

void RecordQueue::AddRequest(std::uint64_t timeUs, std::uint8_t request) {
    Add(RecordKind::Request, timeUs, request, nullptr, 0);
}

void RecordQueue::AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes,
                            std::size_t size) {
    Add(RecordKind::Packet, timeUs, request, bytes, size);
}

bool RecordQueue::DrainInto(Encoder& encoder) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        draining_.swap(queued_);
    }
    bool ok = true;
    for (std::size_t pos = 0; pos < draining_.size();) {
        const auto kind = static_cast<RecordKind>(draining_[pos]);
        const std::uint64_t timeUs = GetLE(&draining_[pos + 1], 8);
        const std::uint8_t request = draining_[pos + 9];
        const std::size_t size = static_cast<std::size_t>(GetLE(&draining_[pos + 10], 4));
        const std::uint8_t* bytes = &draining_[pos + kQueuedHeadBytes];
        const bool taken = kind == RecordKind::Request ? encoder.AddRequest(timeUs, request)
                                                       : encoder.AddPacket(timeUs, request, bytes, size);
        ok = ok && taken;
        pos += kQueuedHeadBytes + size;
    }
    draining_.clear();
    return ok;
}

std::uint64_t RecordQueue::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

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
                error = Format("packet at byte %llu of the block's records is coded against an earlier packet of "
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
                    if (type == kTypePredictedPacket) p[i] = static_cast<std::uint8_t>(p[i] + Predictor::Guess(state[i]));
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
        return Fail(ReadStatus::Bad, Format("format version %u at byte %llu; this program reads version %u",
                                            version, U(kMagicBytes), kFormatVersion));
    const std::uint64_t bodyLength = GetLE(head + kMagicBytes + 2, 4);
    if (bodyLength > kMaxHeaderBodyBytes)
        return Fail(ReadStatus::Bad, Format("header length %llu at byte %llu is above the limit of %llu",
                                            U(bodyLength), U(kMagicBytes + 2), U(kMaxHeaderBodyBytes)));
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
    for (std::uint8_t* field : {&h.started.month, &h.started.day, &h.started.hour, &h.started.minute,
                                &h.started.second})
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
    const auto here = [&] {
        return Format("block %llu at byte %llu", U(blocks_ + 1),
                      U(at));
    };
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
        return Fail(ReadStatus::Bad, Format("%s: %llu bytes of records, outside 1..%llu", here().c_str(),
                                            U(rawSize), U(kMaxBlockRawBytes)));
    if (storedSize > StoredBound(rawSize))
        return Fail(ReadStatus::Bad, Format("%s: %llu compressed bytes for %llu bytes of records, more than zlib ever "
                                            "makes",
                                            here().c_str(), U(storedSize),
                                            U(rawSize)));
    if (count == 0 || count > rawSize / kMinRecordBytes)
        return Fail(ReadStatus::Bad, Format("%s: %llu records cannot fit in %llu bytes", here().c_str(),
                                            U(count),
                                            U(rawSize)));
    if (baseTimeUs < lastTimeUs_)
        return Fail(ReadStatus::Bad, Format("%s starts at %llu us, before the previous block's last record (%llu us)",
                                            here().c_str(), U(baseTimeUs),
                                            U(lastTimeUs_)));
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
                           U(at), U(records), U(packets), U(lastTimeUs), U(records_), U(packets_),
                           U(lastTimeUs_)));
    std::uint8_t extra;
    if (Fill(&extra, 1) != 0)
        return Fail(ReadStatus::Bad, Format("data after the end mark, at byte %llu", U(at + kEndMarkBytes)));
    return Fail(ReadStatus::End, Format("complete: %llu block(s), %llu records, %llu packets", U(blocks_),
                                        U(records_), U(packets_)));
}

}  // namespace recording
