// The console tool's link to the frames: the maker's library loaded as the
// window program loads it, a message-only window that receives its messages,
// and the requests and packet collection of a measurement. Every wait pumps
// the window's messages and has a time limit.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "check/FrameMeasurement.h"
#include "console/CheckOptions.h"
#include "link/DeviceRecords.h"
#include "link/QuorvaneBinding.h"

namespace check {

class CFrameLink {
public:
    CFrameLink() = default;
    ~CFrameLink();
    CFrameLink(const CFrameLink&) = delete;
    CFrameLink& operator=(const CFrameLink&) = delete;

    // Loads QuorvaneLib.dll and registers the message window with it; false
    // with the reason. With replayPath (UTF-8), the recording there is the
    // one frame: checked first, then played by simulator\QuorvaneLib.dll.
    bool Open(std::string& error, const std::string& replayPath = std::string());

    // Until the library's first connect message, at most nMs.
    bool WaitForConnect(DWORD nMs);
    // Open, then WaitForConnect for nWaitSeconds: empty when the library
    // listed its frames, else the run's error (the load, the wait, or the
    // interrupt that ended the wait).
    std::string Connect(const std::string& replayPath, unsigned nWaitSeconds);

    // The devices at the positions of the latest connect message.
    std::vector<quorvane::DeviceRecord> Devices();

    // Whether the frame was listed at the latest connect message. A connect
    // message that came while another frame was checked counts too: every
    // frame that left is known to have left.
    bool StillListed(int nUsbIndexNo);

    // The library's geometry answer for a frame: getSysInfo's result, as
    // returned (0: no answer), for the recording's header to keep.
    int SysInfo(int nUsbIndexNo, quorvane::FrameSettings& settings);

    // Asks the frame for `byRequest`, drops the packets still waiting, then
    // feeds the collector the frame's packets and this clock until it has
    // ended: complete, silent past its time limit, the frame gone ("the
    // frame left during its check") or the run interrupted. True when complete.
    bool Collect(int nUsbIndexNo, std::uint8_t byRequest, PacketCollector& collector);

    // Collect with a collector of its own: nPackets packets of nPacketBytes
    // each (header included) after nSettleMs; false with the reason.
    bool Measure(int nUsbIndexNo, std::uint8_t byRequest, std::size_t nPacketBytes, unsigned nPackets, DWORD nSettleMs,
                 DWORD nTimeoutMs, std::vector<std::vector<std::uint8_t>>& packets, std::string& error);

    // Asks the frame for `byRequest`, drops the packets still waiting, then
    // hands every packet to onPacket for nMs, or until bEnough() holds (asked
    // between packets, at least every 20 ms).
    // Fails with the reason when nTimeoutMs pass without a packet, when the
    // frame leaves, or when the run is interrupted.
    bool Stream(int nUsbIndexNo, std::uint8_t byRequest, DWORD nMs, DWORD nTimeoutMs,
                const std::function<void(const std::uint8_t*)>& onPacket, std::string& error,
                const std::function<bool()>& bEnough = nullptr);

    // A stop request to the frame (setDump 0); later packets are not read.
    void Stop(int nUsbIndexNo);

    // Ctrl+C, the console closed, log-off or shut-down came: the measurement
    // in progress ends, its frame is stopped.
    static bool Interrupted();
    // "interrupted (Ctrl+C)", "interrupted (console window closed)", ...
    static std::string InterruptedText();
    static void InstallInterruptHandler();

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnPacket(const std::uint8_t* pPacket);
    // Handles messages until bDone() holds or nMs have passed; false on timeout.
    template <typename Done>
    bool PumpUntil(DWORD nMs, Done bDone);

    HMODULE m_hLib = nullptr;
    QuorvaneBinding m_lib;
    HWND m_hWnd = nullptr;
    int m_nConnected = -1;           // the count of the latest connect message; -1: none yet
    bool m_bConnectChanged = false;  // a connect message since the list was last read
    std::set<int> m_listed;          // usbindexNo of the listed devices of that list
    quorvane::DeviceInfoST m_infoST{};

    // Packets go to the collector of the request in progress, never one
    // that was waiting from before the request.
    BOOL m_bDropping = FALSE;
    PacketCollector* m_pCollector = nullptr;
    DWORD m_nLastPacketTick = 0;
    const std::function<void(const std::uint8_t*)>* m_pSink = nullptr;  // while streaming
    std::uint64_t m_nPacketsSeen = 0;                                   // every packet delivered, kept or not
};

// The devices as --frame sees them (ChooseFrames), names in UTF-8.
std::vector<ListedFrame> ListedFrames(const std::vector<quorvane::DeviceRecord>& devices);

}  // namespace check
