#include "console/StopGate.h"

namespace check {

namespace {
constexpr wchar_t kSessionClass[] = L"LumagridCheckSession";
}  // namespace

CStopGate::CStopGate() : m_hFinished(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void CStopGate::Request(const char* pszReason) {
    const char* pszNone = nullptr;
    m_pszReason.compare_exchange_strong(pszNone, pszReason);
}

bool CStopGate::RequestAndWait(const char* pszReason, DWORD nMs) {
    Request(pszReason);
    return m_hFinished && ::WaitForSingleObject(m_hFinished.get(), nMs) == WAIT_OBJECT_0;
}

void CStopGate::Finished(int nExitCode) {
    m_nExitCode = nExitCode;
    if (m_hFinished) ::SetEvent(m_hFinished.get());
}

std::string CStopGate::Reason() const {
    const char* psz = m_pszReason.load();
    return psz == nullptr ? std::string() : std::string(psz);
}

CStopGate& ProcessStopGate() {
    // Never destroyed: the handler may still wait on it while the main thread exits.
    static CStopGate* const pGate = new CStopGate;
    return *pGate;
}

BOOL HandleConsoleControl(CStopGate& gate, DWORD nEvent, DWORD nWaitMs) {
    switch (nEvent) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: gate.Request("Ctrl+C"); return TRUE;
        case CTRL_CLOSE_EVENT: gate.RequestAndWait("console window closed", nWaitMs); return TRUE;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: gate.RequestAndWait("log-off or shut-down", nWaitMs); return TRUE;
        default: return FALSE;
    }
}

CSessionWindow::~CSessionWindow() {
    if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    if (m_hThread) ::WaitForSingleObject(m_hThread.get(), INFINITE);
}

bool CSessionWindow::Start(CStopGate& gate, DWORD nWaitMs) {
    if (m_hThread) return m_hWnd != nullptr;
    m_pGate = &gate;
    m_nWaitMs = nWaitMs;
    m_hReady.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hReady) return false;
    m_hThread.reset(::CreateThread(nullptr, 0, &CSessionWindow::ThreadMain, this, 0, nullptr));
    if (!m_hThread) return false;
    ::WaitForSingleObject(m_hReady.get(), INFINITE);
    return m_hWnd != nullptr;
}

DWORD WINAPI CSessionWindow::ThreadMain(LPVOID pParam) {
    auto* pThis = static_cast<CSessionWindow*>(pParam);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CSessionWindow::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kSessionClass;
    ::RegisterClassExW(&wc);  // a second window in one process finds it registered
    // Top-level and never shown: no parent, not HWND_MESSAGE.
    const HWND hWnd = ::CreateWindowExW(0, kSessionClass, L"LumagridCheck", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        wc.hInstance, pThis);
    pThis->m_hWnd = hWnd;
    ::SetEvent(pThis->m_hReady.get());
    if (hWnd == nullptr) return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

LRESULT CALLBACK CSessionWindow::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pThis = reinterpret_cast<CSessionWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    switch (message) {
        case WM_QUERYENDSESSION:
            // The session may still be cancelled by another program: the check goes on until it ends.
            return TRUE;
        case WM_ENDSESSION:
            // After we return, Windows may end the process at any moment.
            if (wParam != FALSE && pThis != nullptr)
                pThis->m_pGate->RequestAndWait("log-off or shut-down", pThis->m_nWaitMs);
            return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

namespace {
BOOL WINAPI OnConsoleControl(DWORD nEvent) {
    CStopGate& gate = ProcessStopGate();
    const BOOL bHandled = HandleConsoleControl(gate, nEvent, kEndingWaitMs);
    // Once the main thread has written the results the run ends with its exit
    // code, not with the one Windows gives a process ended by its console.
    if (bHandled && nEvent != CTRL_C_EVENT && nEvent != CTRL_BREAK_EVENT && gate.IsFinished())
        ::ExitProcess(static_cast<UINT>(gate.ExitCode()));
    return bHandled;
}
}  // namespace

void InstallStopRequests() {
    static bool s_bInstalled = false;
    if (s_bInstalled) return;
    s_bInstalled = true;
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    // Never destroyed: it lives until the process ends.
    auto* pSession = new CSessionWindow;
    pSession->Start(ProcessStopGate());
}

}  // namespace check
