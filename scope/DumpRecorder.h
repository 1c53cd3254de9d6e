// A recording of one frame's dump stream to a .lgrec file. The packet handler
// only queues (a copy under a short lock); a writer thread of the recording's
// own encodes, compresses and writes about every 100 ms, so neither zlib nor
// a slow disk ever holds the window or the library's thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/Recording.h"

namespace scope {

class DumpRecorder {
public:
    typedef double (*ClockFn)();  // milliseconds of a steady clock
    typedef BOOL(WINAPI* WriteFileFn)(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten,
                                      LPOVERLAPPED pOverlapped);

    // How often the writer takes the queued records.
    static constexpr DWORD kDrainPeriodMs = 100;

    DumpRecorder(const recording::Header& header, const recording::EncoderOptions& options, ClockFn pfnNowMs,
                 WriteFileFn pfnWrite);
    ~DumpRecorder();
    DumpRecorder(const DumpRecorder&) = delete;
    DumpRecorder& operator=(const DumpRecorder&) = delete;

    // Creates the file (replacing one of that name), writes the header and
    // starts the writer, which posts nMessage to hNotify should a write fail.
    // 0, or the Windows error; then no file is left behind.
    DWORD Open(const std::wstring& path, HWND hNotify, UINT nMessage);

    // The packet handler's side; times are taken now. Nothing is queued once
    // a write failed.
    void AddRequest(std::uint8_t request);
    void AddPacket(std::uint8_t request, const std::uint8_t* bytes);
    std::size_t PacketSize() const { return m_nPacketSize; }

    // A write failed: the writer stopped and the notice is on its way.
    bool Failed() const { return m_bFailed.load(); }

    // Ends the recording: the queued records, the open block and the end mark
    // go to the file (after a failed write nothing more does: the file stays
    // readable up to its last complete block), and the file is closed.
    void Close();

    // Valid after Close.
    DWORD WriteError() const { return m_nWriteError; }
    std::uint64_t Packets() const { return m_encoder.PacketCount(); }
    std::uint64_t Dropped() const { return m_queue.Dropped(); }

private:
    std::uint64_t NowUs() const;
    void Run();
    // Moves the queued records into the encoder and its finished bytes to the
    // file; false once a write failed.
    bool WriteDue(bool bFinish);
    DWORD WriteAll(const std::vector<std::uint8_t>& bytes);

    const std::size_t m_nPacketSize;
    const ClockFn m_pfnNowMs;
    const WriteFileFn m_pfnWrite;
    double m_dStartMs = 0.0;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;

    recording::RecordQueue m_queue;
    recording::Encoder m_encoder;  // the writer's, until Close joined it
    std::vector<std::uint8_t> m_output;
    DWORD m_nWriteError = 0;
    std::atomic<bool> m_bFailed{false};

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::thread m_writer;
};

}  // namespace scope
