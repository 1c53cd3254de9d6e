#include "scope/DumpRecorder.h"

#include <algorithm>
#include <chrono>

namespace scope {

DumpRecorder::DumpRecorder(const recording::Header& header, const recording::EncoderOptions& options, ClockFn pfnNowMs,
                           WriteFileFn pfnWrite)
    : m_pfnNowMs(pfnNowMs), m_file(pfnWrite), m_writer(header, options, m_file) {}

DumpRecorder::~DumpRecorder() { Close(); }

double DumpRecorder::SteadyMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

DWORD DumpRecorder::Open(const std::wstring& path, HWND hNotify, UINT nMessage) {
    // Others may read the recording while it grows (it is readable up to its
    // last complete block), not write it.
    m_file.m_hFile = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file.m_hFile == INVALID_HANDLE_VALUE) return ::GetLastError();
    // The clock starts before the writer's thread can read it.
    m_dStartMs = m_pfnNowMs();
    const auto notify = [hNotify, nMessage] {
        if (hNotify != nullptr) ::PostMessageW(hNotify, nMessage, 0, 0);
    };
    if (const DWORD nError = m_writer.Start([this] { return NowUs(); }, notify)) {
        ::CloseHandle(m_file.m_hFile);
        m_file.m_hFile = INVALID_HANDLE_VALUE;
        ::DeleteFileW(path.c_str());  // a file without its header is no recording
        return nError;
    }
    return 0;
}

std::uint64_t DumpRecorder::NowUs() const {
    return static_cast<std::uint64_t>(std::max(0.0, (m_pfnNowMs() - m_dStartMs) * 1000.0));
}

void DumpRecorder::AddRequest(std::uint8_t request) { m_writer.AddRequest(NowUs(), request); }

void DumpRecorder::AddPacket(std::uint8_t request, const std::uint8_t* bytes) {
    m_writer.AddPacket(NowUs(), request, bytes);
}

std::uint32_t DumpRecorder::FileSink::Write(const std::uint8_t* bytes, std::size_t size) {
    std::size_t nLeft = size;
    while (nLeft > 0) {
        const DWORD nChunk = static_cast<DWORD>(std::min<std::size_t>(nLeft, 1u << 30));
        DWORD nWritten = 0;
        if (!m_pfnWrite(m_hFile, bytes, nChunk, &nWritten, nullptr)) {
            const DWORD nError = ::GetLastError();
            return nError != 0 ? nError : ERROR_WRITE_FAULT;
        }
        if (nWritten == 0) return ERROR_WRITE_FAULT;  // no progress: never loop for ever
        bytes += nWritten;
        nLeft -= std::min<std::size_t>(nWritten, nLeft);
    }
    return 0;
}

void DumpRecorder::Close() {
    m_writer.Close();
    if (m_file.m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_file.m_hFile);
        m_file.m_hFile = INVALID_HANDLE_VALUE;
    }
}

}  // namespace scope
