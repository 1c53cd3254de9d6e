// A recording of one frame's dump stream to a .lgrec file: the Windows side
// of a recording::RecordWriter (the file, the clock, the notice to a window).
// The window program and the console tool both record through it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "recording/RecordWriter.h"

namespace scope {

class DumpRecorder {
public:
    typedef double (*ClockFn)();  // milliseconds of a steady clock
    typedef BOOL(WINAPI* WriteFileFn)(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten,
                                      LPOVERLAPPED pOverlapped);

    // A steady clock for pfnNowMs where no test needs to set the time.
    static double SteadyMs();

    // How often the writer takes the queued records.
    static constexpr DWORD kDrainPeriodMs = static_cast<DWORD>(recording::RecordWriter::kDrainPeriod.count());

    DumpRecorder(const recording::Header& header, const recording::EncoderOptions& options, ClockFn pfnNowMs,
                 WriteFileFn pfnWrite);
    ~DumpRecorder();
    DumpRecorder(const DumpRecorder&) = delete;
    DumpRecorder& operator=(const DumpRecorder&) = delete;

    // Creates the file (replacing one of that name), writes the header and
    // starts the writer, which posts nMessage to hNotify should a write fail
    // (no notice with a null hNotify: the caller polls Failed()).
    // 0, or the Windows error; then no file is left behind.
    DWORD Open(const std::wstring& path, HWND hNotify, UINT nMessage);

    // The packet handler's side; times are taken now. Nothing is queued once
    // a write failed.
    void AddRequest(std::uint8_t request);
    void AddPacket(std::uint8_t request, const std::uint8_t* bytes);
    std::size_t PacketSize() const { return m_writer.PacketSize(); }

    // A write failed: the writer stopped and the notice is on its way.
    bool Failed() const { return m_writer.Failed(); }

    // Ends the recording: the queued records, the open block and the end mark
    // go to the file (after a failed write nothing more does: the file stays
    // readable up to its last complete block), and the file is closed.
    void Close();

    // Valid after Close.
    DWORD WriteError() const { return m_writer.WriteError(); }
    std::uint64_t Packets() const { return m_writer.Packets(); }
    std::uint64_t Dropped() const { return m_writer.Dropped(); }
    std::uint64_t BytesWritten() const { return m_writer.BytesWritten(); }

private:
    // The open file as the writer's sink.
    class FileSink : public recording::ByteSink {
    public:
        explicit FileSink(WriteFileFn pfnWrite) : m_pfnWrite(pfnWrite) {}
        std::uint32_t Write(const std::uint8_t* bytes, std::size_t size) override;
        HANDLE m_hFile = INVALID_HANDLE_VALUE;

    private:
        const WriteFileFn m_pfnWrite;
    };

    std::uint64_t NowUs() const;

    const ClockFn m_pfnNowMs;
    double m_dStartMs = 0.0;
    FileSink m_file;
    recording::RecordWriter m_writer;  // after m_file: it writes there until it is joined
};

}  // namespace scope
