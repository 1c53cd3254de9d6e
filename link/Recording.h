// The recording format (.lgrec): what a frame sent, and what it was asked,
// saved so that the substitute library can play it back. The byte layout is
// in docs/recording-format.md. Portable: the program, the console tool and the
// substitute library share it, and the native tier tests and fuzzes it.
//
// Writing: an Encoder codes records into an open block and compresses the
// block when it is full, so it belongs on a writer thread or timer; the packet
// handler only copies into a RecordQueue. Reading: a Reader gives the header
// and then one block of records at a time, within fixed limits on every length.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
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
    std::uint64_t timeUs = 0;  // since the recording began
    std::uint8_t request = 0;  // the byte sent, or the byte in force when the packet came
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

// ---------------------------------------------------------------- writing

struct EncoderOptions {
    // A block is compressed once its records reach this many bytes (at most
    // half of kMaxBlockRawBytes), or once it spans this time; then it can be
    // taken out. Bigger blocks compress better; what a killed program loses is
    // the open block: at most a second.
    std::size_t blockBytes = 64 * 1024;
    std::uint64_t blockSpanUs = 1'000'000;
};

// Not thread-safe: one writer thread (or timer) owns it.
class Encoder {
public:
    explicit Encoder(const Header& header, EncoderOptions options = {});
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Times never go back: an earlier time than the last record's is taken as
    // that time. False after Finish, and for a packet whose size is not the
    // header's packet size (nothing is recorded then).
    bool AddRequest(std::uint64_t timeUs, std::uint8_t request);
    bool AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes, std::size_t size);

    // Compresses the open block now, if it holds records.
    void SealBlock();
    // Compresses the open block if its first record is blockSpanUs older than
    // nowUs: for the writer's timer, so that a quiet stream still reaches the file.
    void SealIfDue(std::uint64_t nowUs);
    // Seals the open block and adds the end mark; nothing can be added after.
    void Finish();

    // Appends the bytes ready for the file to `out` and forgets them: the
    // header first (available from construction), then each sealed block, the
    // end mark last. A file holding every byte taken so far is a readable
    // recording (cut short until the end mark is in).
    void TakeOutput(std::vector<std::uint8_t>& out);

    std::uint64_t PacketCount() const { return packets_; }
    std::uint64_t RecordCount() const { return records_; }
    bool Finished() const { return finished_; }
    const Header& header() const { return header_; }

private:
    struct Impl;
    bool Admit(std::uint64_t& timeUs);
    void AfterRecord();

    Header header_;
    EncoderOptions options_;
    std::unique_ptr<Impl> impl_;
    std::vector<std::uint8_t> output_;
    std::uint64_t lastTimeUs_ = 0;
    std::uint64_t records_ = 0;
    std::uint64_t packets_ = 0;
    bool finished_ = false;
};

// The packet handler's side of a recording: copies each record under a short
// lock, so the handler never waits for compression or the disk; the writer
// thread moves them into the Encoder. Holds at most kMaxQueuedBytes; records
// beyond that are dropped and counted (a writer that stalls must not eat the
// memory of the program).
class RecordQueue {
public:
    static constexpr std::size_t kMaxQueuedBytes = 64u << 20;

    void AddRequest(std::uint64_t timeUs, std::uint8_t request);
    void AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes, std::size_t size);

    // Feeds the queued records to the encoder in their order; false if the
    // encoder refused one (a packet of the wrong size, or after Finish).
    bool DrainInto(Encoder& encoder);
    std::uint64_t Dropped() const;

private:
    void Add(RecordKind kind, std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes,
             std::size_t size);

    mutable std::mutex mutex_;
    std::vector<std::uint8_t> queued_;
    std::vector<std::uint8_t> draining_;  // swapped with queued_, so neither side reallocates often
    std::uint64_t dropped_ = 0;
};

// ---------------------------------------------------------------- reading

// Where the reader takes bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `size` bytes; fewer only at the end of the data or on a failure.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
    virtual bool Failed() const { return false; }
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Reads an open file; the caller opens and closes it.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;
    bool Failed() const override;

private:
    std::FILE* file_;
};

enum class ReadStatus {
    Ok,        // a header or a block was read
    End,       // the end mark was read: the recording is complete
    CutShort,  // the data stops before the end mark; everything before was delivered
    Bad,       // damaged or not a recording; everything before was delivered
};

// Every status but Ok leaves a message: what, and at which byte of the file.
class Reader {
public:
    explicit Reader(ByteSource& source) : source_(source) {}

    // Anything but Ok: no recording can be read (a file cut inside its header
    // gives CutShort).
    ReadStatus ReadHeader(Header& header);
    // The next block's records into `block` (cleared first). After End,
    // CutShort or Bad it returns the same status again.
    ReadStatus NextBlock(Block& block);

    const std::string& Message() const { return message_; }
    std::uint64_t Offset() const { return offset_; }
    std::uint64_t BlocksRead() const { return blocks_; }

private:
    std::size_t Fill(std::uint8_t* buffer, std::size_t size);
    ReadStatus Fail(ReadStatus status, std::string message);
    ReadStatus ReadEndMark(std::uint64_t at);

    ByteSource& source_;
    std::uint64_t offset_ = 0;
    std::size_t packetSize_ = 0;
    bool headerRead_ = false;
    ReadStatus done_ = ReadStatus::Ok;  // the final status once reached
    std::string message_;
    std::uint64_t blocks_ = 0;
    std::uint64_t records_ = 0;
    std::uint64_t packets_ = 0;
    std::uint64_t lastTimeUs_ = 0;
    std::vector<std::uint8_t> stored_;
    std::vector<std::uint8_t> raw_;
};

// The record layer of one block, uncompressed: decodes `size` bytes into
// `block` (packets of `packetSize` bytes, times counted from baseTimeUs).
// False with a message naming the byte of `data` on any fault.
bool DecodeRecords(const std::uint8_t* data, std::size_t size, std::uint64_t baseTimeUs,
                   std::size_t packetSize, Block& block, std::string& error);

}  // namespace recording
