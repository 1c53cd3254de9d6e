#include "recording/Encoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "recording/Coding.h"

namespace recording {

using namespace coding;

struct Encoder::Impl {
    z_stream deflater{};
    bool deflaterReady = false;
    std::vector<std::uint8_t> raw;  // the open block's records
    std::uint64_t baseTimeUs = 0;
    std::uint64_t prevTimeUs = 0;  // of the block's last record
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

}  // namespace recording
