// Writing a recording: an Encoder codes records into an open block and
// compresses the block when it is full, so it belongs on a writer thread or
// timer (RecordWriter); the packet handler only copies into a RecordQueue.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "recording/Layout.h"

namespace recording {

struct EncoderOptions {
    // A block is compressed once its records reach this many bytes (at most
    // half of kMaxBlockRawBytes), or once it spans this time; then it can be
    // taken out. Bigger blocks compress better; what a killed program loses is
    // the open block: at most a second.
    std::size_t blockBytes = std::size_t{64} * 1024;
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

}  // namespace recording
