#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "recording/Encoder.h"
#include "recording/Layout.h"

namespace recording {

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
    void Add(RecordKind kind, std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes, std::size_t size);

    mutable std::mutex mutex_;
    std::vector<std::uint8_t> queued_;
    std::vector<std::uint8_t> draining_;  // swapped with queued_, so neither side reallocates often
    std::uint64_t dropped_ = 0;
};

}  // namespace recording
