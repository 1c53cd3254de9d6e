// What a recording holds: its limits, its header, and the records of a block.
// The byte layout is in docs/recording-format.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recording {

constexpr std::uint16_t kFormatVersion = 1;
constexpr std::size_t kMagicBytes = 8;
extern const std::uint8_t kMagic[kMagicBytes];

// Limits a reader enforces; the writer stays within them.
constexpr std::size_t kMaxTextBytes = 255;           // each text of the header
constexpr std::size_t kMaxHeaderBodyBytes = 1024;    // the header between its length and its checksum
constexpr std::size_t kMaxBlockRawBytes = 1u << 20;  // a block's records, uncompressed
constexpr std::size_t kMinRecordBytes = 3;           // a request record: type, time, byte
constexpr std::size_t kPacketHeaderBytes = 7;        // the library's header of a dump packet
constexpr std::size_t kDeviceInfoStBytes = 40;
constexpr std::size_t kFrameSettingsBytes = 50;

// The local time the recording began, as the program's clock gave it. Not
// checked on reading: it only informs.
struct LocalTime {
    std::uint16_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint16_t millisecond = 0;
    bool operator==(const LocalTime& o) const;
};

// "YYYY-MM-DD hh:mm:ss.mmm".
std::string ToText(const LocalTime& time);

struct Header {
    std::string programVersion;
    LocalTime started;
    // The library's texts as it gave them (system code page), without their NUL.
    std::string frameName;
    std::string frameVersion;
    std::int32_t deviceType = 0;
    std::int32_t usbIndexNo = 0;
    // What getDeviceInfoST and getSysInfo returned (nonzero: the record was
    // filled) and the records as received.
    std::int32_t deviceInfoStResult = 0;
    std::array<std::uint8_t, kDeviceInfoStBytes> deviceInfoSt{};
    std::int32_t sysInfoResult = 0;
    std::array<std::uint8_t, kFrameSettingsBytes> frameSettings{};
    // Receivers per packet (the program's counts when the recording began):
    // every packet is 7 + xCount + yCount bytes.
    std::uint16_t xCount = 0;
    std::uint16_t yCount = 0;

    std::size_t PacketSize() const { return kPacketHeaderBytes + xCount + yCount; }
    bool operator==(const Header& o) const;
};

enum class RecordKind : std::uint8_t { Request = 1, Packet = 2 };

struct Record {
    RecordKind kind = RecordKind::Packet;
    std::uint64_t timeUs = 0;      // since the recording began
    std::uint8_t request = 0;      // the byte sent, or the byte in force when the packet came
    std::size_t packetOffset = 0;  // packets: where the bytes start in Block::packetBytes
};

// The records of one block, in time order.
struct Block {
    std::vector<Record> records;
    std::vector<std::uint8_t> packetBytes;  // the block's packets back to back
    std::size_t packetSize = 0;

    const std::uint8_t* Packet(const Record& record) const { return packetBytes.data() + record.packetOffset; }
    void Clear();
};

}  // namespace recording
