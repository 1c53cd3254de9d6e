// Ending a run from outside: Ctrl+C, the console window closed, the user
// logging off or Windows shutting down. The request comes on a thread of its
// own (the console's control handler, the session window's); only the main
// thread stops the frame and writes the results, and the requesting thread
// waits for that, because Windows ends the process once it returns.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "framework/Handle.h"

namespace check {

// Windows allows a console control handler or WM_ENDSESSION 5 s; the rest is
// for the process to end.
constexpr DWORD kEndingWaitMs = 4000;

class CStopGate {
public:
    CStopGate();
    CStopGate(const CStopGate&) = delete;
    CStopGate& operator=(const CStopGate&) = delete;

    // Asks the main thread to stop; returns at once. The first reason stays.
    void Request(const char* pszReason);
    // Asks, then waits until Finished() or nMs; true when the results are written.
    bool RequestAndWait(const char* pszReason, DWORD nMs);
    // On the main thread once every result is written (or there was nothing to write).
    void Finished(int nExitCode);

    bool Requested() const { return m_pszReason.load() != nullptr; }
    // "Ctrl+C", "console window closed", ...; empty while not requested.
    std::string Reason() const;
    int ExitCode() const { return m_nExitCode.load(); }
    bool IsFinished() const { return m_hFinished && ::WaitForSingleObject(m_hFinished.get(), 0) == WAIT_OBJECT_0; }

private:
    CHandle m_hFinished;  // manual reset: every waiting request sees it
    std::atomic<const char*> m_pszReason{nullptr};
    std::atomic<int> m_nExitCode{0};
};

// The process's gate, which the handler and the session window use.
CStopGate& ProcessStopGate();

// What the console's control handler does with the gate: Ctrl+C and
// Ctrl+Break ask and return at once; closing the console (and log-off and
// shut-down, where they come as console events) ask and wait at most nWaitMs.
// TRUE: handled.
BOOL HandleConsoleControl(CStopGate& gate, DWORD nEvent, DWORD nWaitMs);

// A hidden top-level window on a thread of its own. A process that loads
// user32 gets log-off and shut-down only as WM_QUERYENDSESSION and
// WM_ENDSESSION, and only at a top-level window (a message-only window gets
// none); at WM_ENDSESSION it asks the gate and waits as for a closed console.
class CSessionWindow {
public:
    CSessionWindow() = default;
    ~CSessionWindow();
    CSessionWindow(const CSessionWindow&) = delete;
    CSessionWindow& operator=(const CSessionWindow&) = delete;

    // Creates the window and its thread; false when either fails.
    bool Start(CStopGate& gate, DWORD nWaitMs = kEndingWaitMs);
    HWND Window() const { return m_hWnd; }

private:
    static DWORD WINAPI ThreadMain(LPVOID pParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    CStopGate* m_pGate = nullptr;
    DWORD m_nWaitMs = kEndingWaitMs;
    CHandle m_hThread;
    CHandle m_hReady;
    HWND m_hWnd = nullptr;
};

// For the whole process: the control handler and the session window on the
// process's gate. Once is enough; later calls do nothing.
void InstallStopRequests();

}  // namespace check
