#include "scope/DumpRecorder.h"

#include <algorithm>
#include <chrono>

namespace scope {

DumpRecorder::DumpRecorder(const recording::Header& header, const recording::EncoderOptions& options,
                           ClockFn pfnNowMs, WriteFileFn pfnWrite)
    : m_nPacketSize(header.PacketSize()), m_pfnNowMs(pfnNowMs), m_pfnWrite(pfnWrite), m_encoder(header, options) {}

DumpRecorder::~DumpRecorder() { Close(); }

DWORD DumpRecorder::Open(const std::wstring& path, HWND hNotify, UINT nMessage) {
    // Others may read the recording while it grows (it is readable up to its
    // last complete block), not write it.
    m_hFile = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) return ::GetLastError();
    m_encoder.TakeOutput(m_output);  // the header
    if (const DWORD nError = WriteAll(m_output)) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        ::DeleteFileW(path.c_str());  // a file without its header is no recording
        return nError;
    }
    m_hNotify = hNotify;
    m_nMessage = nMessage;
    m_dStartMs = m_pfnNowMs();
    m_writer = std::thread(&DumpRecorder::Run, this);
    return 0;
}

std::uint64_t DumpRecorder::NowUs() const {
    return static_cast<std::uint64_t>(std::max(0.0, (m_pfnNowMs() - m_dStartMs) * 1000.0));
}

void DumpRecorder::AddRequest(std::uint8_t request) {
    if (!m_bFailed.load(std::memory_order_relaxed)) m_queue.AddRequest(NowUs(), request);
}

void DumpRecorder::AddPacket(std::uint8_t request, const std::uint8_t* bytes) {
    if (!m_bFailed.load(std::memory_order_relaxed)) m_queue.AddPacket(NowUs(), request, bytes, m_nPacketSize);
}

void DumpRecorder::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        if (m_wake.wait_for(lock, std::chrono::milliseconds(kDrainPeriodMs), [this] { return m_bStop; })) break;
        lock.unlock();
        const bool bWritten = WriteDue(false);
        lock.lock();
        if (!bWritten) return;
    }
    lock.unlock();
    WriteDue(true);
}

bool DumpRecorder::WriteDue(bool bFinish) {
    m_queue.DrainInto(m_encoder);  // the handler queues packets of the header's size only
    if (bFinish)
        m_encoder.Finish();
    else
        m_encoder.SealIfDue(NowUs());
    m_output.clear();
    m_encoder.TakeOutput(m_output);
    m_nWriteError = WriteAll(m_output);
    if (m_nWriteError == 0) return true;
    m_bFailed.store(true);
    ::PostMessageW(m_hNotify, m_nMessage, 0, 0);
    return false;
}

DWORD DumpRecorder::WriteAll(const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t* p = bytes.data();
    std::size_t nLeft = bytes.size();
    while (nLeft > 0) {
        const DWORD nChunk = static_cast<DWORD>(std::min<std::size_t>(nLeft, 1u << 30));
        DWORD nWritten = 0;
        if (!m_pfnWrite(m_hFile, p, nChunk, &nWritten, nullptr)) {
            const DWORD nError = ::GetLastError();
            return nError != 0 ? nError : ERROR_WRITE_FAULT;
        }
        if (nWritten == 0) return ERROR_WRITE_FAULT;  // no progress: never loop for ever
        p += nWritten;
        nLeft -= std::min<std::size_t>(nWritten, nLeft);
    }
    return 0;
}

void DumpRecorder::Close() {
    if (m_writer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_wake.notify_one();
        m_writer.join();
    }
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

}  // namespace scope
