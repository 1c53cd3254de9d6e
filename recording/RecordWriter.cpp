#include "recording/RecordWriter.h"

namespace recording {

RecordWriter::RecordWriter(const Header& header, const EncoderOptions& options, ByteSink& sink)
    : packetSize_(header.PacketSize()), sink_(sink), encoder_(header, options) {}

RecordWriter::~RecordWriter() { Close(); }

std::uint32_t RecordWriter::Start(Clock now, FailureNotice onFailure, std::chrono::milliseconds period) {
    if (thread_.joinable() || encoder_.Finished()) return 0;
    now_ = std::move(now);
    onFailure_ = std::move(onFailure);
    if (!WriteOutput()) return writeError_;  // the header
    thread_ = std::thread(&RecordWriter::Run, this, period);
    return 0;
}

void RecordWriter::AddRequest(std::uint64_t timeUs, std::uint8_t request) {
    if (!failed_.load(std::memory_order_relaxed)) queue_.AddRequest(timeUs, request);
}

void RecordWriter::AddPacket(std::uint64_t timeUs, std::uint8_t request, const std::uint8_t* bytes) {
    if (!failed_.load(std::memory_order_relaxed)) queue_.AddPacket(timeUs, request, bytes, packetSize_);
}

void RecordWriter::Run(std::chrono::milliseconds period) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (wake_.wait_for(lock, period, [this] { return stop_; })) break;
        lock.unlock();
        const bool written = WriteDue(false);
        lock.lock();
        if (!written) return;
    }
    lock.unlock();
    WriteDue(true);
}

bool RecordWriter::WriteDue(bool finish) {
    queue_.DrainInto(encoder_);  // the queue holds packets of the header's size only
    if (finish) encoder_.Finish();
    else encoder_.SealIfDue(now_());
    if (WriteOutput()) return true;
    failed_.store(true);
    if (onFailure_) onFailure_();
    return false;
}

bool RecordWriter::WriteOutput() {
    output_.clear();
    encoder_.TakeOutput(output_);
    writeError_ = output_.empty() ? 0 : sink_.Write(output_.data(), output_.size());
    if (writeError_ != 0) return false;
    bytesWritten_ += output_.size();
    return true;
}

void RecordWriter::Close() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

}  // namespace recording
