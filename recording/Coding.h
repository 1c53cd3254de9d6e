// The byte coding shared by the writer and the reader of a recording:
// little-endian fields, the varint of record times, checksums, the record
// types and tags, and the predictor packets are coded against. Internal to
// recording/: neither side may drift from the other, so both take it from here.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/Layout.h"

namespace recording::coding {

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

inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutBytes(std::vector<std::uint8_t>& out, const std::uint8_t* bytes, std::size_t size) {
    out.insert(out.end(), bytes, bytes + size);
}
// A length byte, then at most kMaxTextBytes of the text.
void PutText(std::vector<std::uint8_t>& out, const std::string& text);

inline std::uint64_t GetLE(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// Unsigned LEB128: 7 bits per byte, low group first.
inline std::uint8_t* PutVarint(std::uint8_t* p, std::uint64_t v) {
    while (v >= 0x80) {
        *p++ = static_cast<std::uint8_t>(v | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<std::uint8_t>(v);
    return p;
}

inline std::uint32_t Crc(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

#if defined(__GNUC__)
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#else
std::string Format(const char* format, ...);
#endif
// For the %llu of every size and offset in messages (MinGW's printf lacks %llu).
inline unsigned long long U(std::uint64_t v) { return v; }

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
inline std::uint64_t StoredBound(std::uint64_t raw) { return raw + (raw >> 12) + (raw >> 14) + (raw >> 25) + 13; }

}  // namespace recording::coding
