#include "recording/RecordQueue.h"

#include "recording/Coding.h"

namespace recording {

using namespace coding;

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

void RecordQueue::AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes, std::size_t size) {
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

}  // namespace recording
