// Writes one recording as it goes. Any thread hands records in (a copy under
// a short lock, into the RecordQueue); the writer's own thread encodes,
// compresses and writes them about every 100 ms, so neither zlib nor a slow
// disk ever holds a window or the library's thread. Where the bytes go is the
// caller's: a file of the platform's, or memory.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "recording/Encoder.h"
#include "recording/Layout.h"
#include "recording/RecordQueue.h"

namespace recording {

// Where a RecordWriter's bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all `size` bytes: 0, or a nonzero error code of the sink's own
    // (a Windows file gives the system's error code).
    virtual std::uint32_t Write(const std::uint8_t* bytes, std::size_t size) = 0;
};

class RecordWriter {
public:
    using Clock = std::function<std::uint64_t()>;  // microseconds since the recording began
    using FailureNotice = std::function<void()>;   // on the writer's thread, once, when a write failed

    static constexpr std::chrono::milliseconds kDrainPeriod{100};

    // The sink must outlive the writer (or its Close).
    RecordWriter(const Header& header, const EncoderOptions& options, ByteSink& sink);
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Writes the header and starts the writer's thread, which reads `now` to
    // seal a quiet block in time. 0, or the sink's error: then no thread runs
    // and the sink holds at most part of a header.
    std::uint32_t Start(Clock now, FailureNotice onFailure = {}, std::chrono::milliseconds period = kDrainPeriod);

    // From any thread. Nothing is queued once a write failed; a packet is
    // PacketSize() bytes.
    void AddRequest(std::uint64_t timeUs, std::uint8_t request);
    void AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes);
    std::size_t PacketSize() const { return packetSize_; }

    // A write failed: the writer stopped (and the notice was given).
    bool Failed() const { return failed_.load(); }

    // Ends the recording: what is queued, the open block and the end mark are
    // written (after a failed write nothing more is: the sink keeps its
    // complete blocks) and the thread is joined. Records added later are lost.
    void Close();

    // Valid after Close.
    std::uint32_t WriteError() const { return writeError_; }
    std::uint64_t Packets() const { return encoder_.PacketCount(); }
    std::uint64_t BytesWritten() const { return bytesWritten_; }
    std::uint64_t Dropped() const { return queue_.Dropped(); }

private:
    void Run(std::chrono::milliseconds period);
    // Moves the queued records into the encoder and its finished bytes to the
    // sink; false once a write failed.
    bool WriteDue(bool finish);
    bool WriteOutput();

    const std::size_t packetSize_;
    ByteSink& sink_;
    Clock now_;
    FailureNotice onFailure_;

    RecordQueue queue_;
    Encoder encoder_;  // the writer thread's while it runs
    std::vector<std::uint8_t> output_;
    std::uint32_t writeError_ = 0;
    std::uint64_t bytesWritten_ = 0;
    std::atomic<bool> failed_{false};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace recording
