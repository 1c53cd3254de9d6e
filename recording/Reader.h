// Reading a recording: a Reader gives the header and then one block of
// records at a time, within fixed limits on every length, and says where a
// damaged or cut file stops being readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recording/Layout.h"

namespace recording {

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
bool DecodeRecords(const std::uint8_t* data, std::size_t size, std::uint64_t baseTimeUs, std::size_t packetSize,
                   Block& block, std::string& error);

}  // namespace recording
