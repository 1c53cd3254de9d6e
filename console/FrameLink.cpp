#include "console/FrameLink.h"

#include "console/ConsoleIo.h"
#include "console/StopGate.h"
#include "framework/DllSearch.h"
#include "framework/String.h"
#include "link/QuorvaneLoader.h"

namespace check {

namespace {
constexpr wchar_t kWindowClass[] = L"LumagridCheckLink";
// The longest a wait sleeps before it looks at the clock and for an interruption again.
constexpr DWORD kPollMs = 20;

// Milliseconds of a steady clock finer than GetTickCount's 10-16 ms steps: a
// settle interval of 100 ms must not become 115 on every beam set.
DWORD NowMs() {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<DWORD>(now.QuadPart * 1000 / frequency.QuadPart);
}

// The same clock without the wrap of 32 bits, for a collector's steps.
double FineNowMs() {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Asks for 1-ms timer steps, from the system folder's winmm.dll: an import
// would take a winmm.dll lying beside the program first. Windows ends the
// request with the process.
void RequestFineTimer() {
    typedef UINT(WINAPI * TimeBeginPeriodFn)(UINT);
    if (HMODULE hWinmm = dllsearch::LoadSystemLibrary(L"winmm.dll")) {
        if (auto pfnBegin = reinterpret_cast<TimeBeginPeriodFn>(
                reinterpret_cast<void*>(::GetProcAddress(hWinmm, "timeBeginPeriod"))))
            pfnBegin(1);
    }
}
}  // namespace

// The maker's library stays loaded until the process ends: a library whose
// own reader thread crashes or hangs on FreeLibrary would otherwise end the
// run without an exit code, and the results are written by then anyway.
CFrameLink::~CFrameLink() {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);  // the library's thread stops sending to it
}

bool CFrameLink::Interrupted() { return ProcessStopGate().Requested(); }

std::string CFrameLink::InterruptedText() { return "interrupted (" + ProcessStopGate().Reason() + ")"; }

void CFrameLink::InstallInterruptHandler() {
    InstallStopRequests();
    // Waits end when they should, not at the next 15.6 ms tick of Windows' timer.
    RequestFineTimer();
}

bool CFrameLink::Open(std::string& error, const std::string& replayPath) {
    std::wstring library;
    if (!replayPath.empty()) {
        std::wstring absolute;
        const std::wstring refusal = quorvane::PrepareReplay(Widen(replayPath.c_str(), CP_UTF8), absolute);
        if (!refusal.empty()) {
            error = "cannot replay " + replayPath + ": " + Narrow(refusal.c_str(), CP_UTF8);
            return false;
        }
        library = quorvane::SimulatorLibraryPath();
    }
    const quorvane::LoadedLibrary loaded = quorvane::LoadQuorvaneLibrary(m_lib, library);
    if (loaded.hLib == nullptr) {
        // The system's words as characters, then UTF-8 like every text of
        // the console tool: right on a Korean Windows too.
        error = Narrow(quorvane::RefusalTextWide(loaded).c_str(), CP_UTF8);
        return false;
    }
    m_hLib = loaded.hLib;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CFrameLink::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);  // a second link in one process finds it registered
    m_hWnd = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    if (m_hWnd == nullptr) {
        error = "cannot create the message window (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    if (m_lib.registerQuorvaneUSBEvent(m_hWnd) == 0) {
        error = "QuorvaneLib.dll refused to register the message window";
        return false;
    }
    return true;
}

LRESULT CALLBACK CFrameLink::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pLink = reinterpret_cast<CFrameLink*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pLink != nullptr) {
        if (message == quorvane::WM_USB_CONNECT) {
            pLink->m_nConnected = static_cast<int>(wParam);
            pLink->m_bConnectChanged = true;
            return 0;
        }
        if (message == quorvane::WM_READ_DUMP) {
            pLink->OnPacket(reinterpret_cast<const std::uint8_t*>(wParam));
            return 0;
        }
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void CFrameLink::OnPacket(const std::uint8_t* pPacket) {
    if (pPacket == nullptr || m_bDropping) return;
    ++m_nPacketsSeen;
    m_nLastPacketTick = NowMs();
    if (m_pSink != nullptr) (*m_pSink)(pPacket);
    if (m_pCollector != nullptr) m_pCollector->AddPacket(pPacket, FineNowMs());
}

template <typename Done>
bool CFrameLink::PumpUntil(DWORD nMs, Done bDone) {
    const DWORD nStart = NowMs();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (bDone()) return true;
        const DWORD nElapsed = NowMs() - nStart;
        if (nElapsed >= nMs || Interrupted()) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, std::min<DWORD>(kPollMs, nMs - nElapsed), QS_ALLINPUT,
                                      MWMO_INPUTAVAILABLE);
    }
}

bool CFrameLink::WaitForConnect(DWORD nMs) {
    return PumpUntil(nMs, [this] { return m_nConnected >= 0; });
}

std::string CFrameLink::Connect(const std::string& replayPath, unsigned nWaitSeconds) {
    std::string error;
    if (!Open(error, replayPath)) return error;
    if (WaitForConnect(nWaitSeconds * 1000)) return {};
    if (Interrupted()) return InterruptedText();
    return "no connect message from QuorvaneLib.dll within " + std::to_string(nWaitSeconds) + " s";
}

std::vector<ListedFrame> ListedFrames(const std::vector<quorvane::DeviceRecord>& devices) {
    std::vector<ListedFrame> frames;
    frames.reserve(devices.size());
    for (const quorvane::DeviceRecord& device : devices)
        frames.push_back({console::FromCodePage(device.name), device.nUsbIndexNo, device.bListed});
    return frames;
}

std::vector<quorvane::DeviceRecord> CFrameLink::Devices() {
    m_bConnectChanged = false;
    std::vector<quorvane::DeviceRecord> devices =
        quorvane::ReadDeviceRecords(m_lib, std::max(m_nConnected, 0), m_infoST);
    m_listed.clear();
    for (const quorvane::DeviceRecord& device : devices)
        if (device.bListed) m_listed.insert(device.nUsbIndexNo);
    return devices;
}

int CFrameLink::SysInfo(int nUsbIndexNo, quorvane::FrameSettings& settings) {
    return m_lib.getSysInfo(nUsbIndexNo, &settings);
}

bool CFrameLink::StillListed(int nUsbIndexNo) {
    if (m_bConnectChanged) Devices();
    return m_listed.count(nUsbIndexNo) != 0;
}

bool CFrameLink::Collect(int nUsbIndexNo, std::uint8_t byRequest, PacketCollector& collector) {
    m_lib.setDump(nUsbIndexNo, byRequest);
    quorvane::DropWaitingMessages(m_bDropping);
    collector.Start(FineNowMs());
    m_pCollector = &collector;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (!StillListed(nUsbIndexNo)) collector.Left();
        else if (Interrupted()) collector.Fail(InterruptedText());
        else collector.Tick(FineNowMs());
        if (collector.Ended()) break;
        // Up to the collector's next step, so that a settle wait ends on time.
        const double nLeftMs = collector.DeadlineMs() - FineNowMs();
        const DWORD nWaitMs = nLeftMs <= 1.0 ? 1 : std::min<DWORD>(kPollMs, static_cast<DWORD>(nLeftMs));
        ::MsgWaitForMultipleObjectsEx(0, nullptr, nWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    m_pCollector = nullptr;
    return collector.Complete();
}

bool CFrameLink::Measure(int nUsbIndexNo, std::uint8_t byRequest, std::size_t nPacketBytes, unsigned nPackets,
                         DWORD nSettleMs, DWORD nTimeoutMs, std::vector<std::vector<std::uint8_t>>& packets,
                         std::string& error) {
    PacketCollector collector(nPacketBytes, CollectSettings{nPackets, nSettleMs, nTimeoutMs});
    const bool bComplete = Collect(nUsbIndexNo, byRequest, collector);
    packets = collector.TakePackets();
    if (!bComplete) error = collector.error();
    return bComplete;
}

bool CFrameLink::Stream(int nUsbIndexNo, std::uint8_t byRequest, DWORD nMs, DWORD nTimeoutMs,
                        const std::function<void(const std::uint8_t*)>& onPacket, std::string& error,
                        const std::function<bool()>& bEnough) {
    m_lib.setDump(nUsbIndexNo, byRequest);
    quorvane::DropWaitingMessages(m_bDropping);
    const DWORD nStart = NowMs();
    m_nLastPacketTick = nStart;
    m_pSink = &onPacket;
    bool bLeft = false;
    bool bSilent = false;
    PumpUntil(nMs, [&] {
        bSilent = NowMs() - m_nLastPacketTick >= nTimeoutMs;
        return (bLeft = !StillListed(nUsbIndexNo)) || bSilent || (bEnough && bEnough());
    });
    m_pSink = nullptr;
    if (bLeft) {
        error = "the frame left";
    } else if (bSilent) {
        error = "no packet within " + std::to_string(nTimeoutMs / 1000) + " s";
    } else if (Interrupted()) {
        error = InterruptedText();
    } else {
        return true;
    }
    return false;
}

void CFrameLink::Stop(int nUsbIndexNo) {
    if (m_lib.setDump != nullptr) m_lib.setDump(nUsbIndexNo, 0);
    quorvane::DropWaitingMessages(m_bDropping);
}

}  // namespace check
