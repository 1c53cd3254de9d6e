// Ending a run from the console's or the session's own thread: Windows ends
// the process as soon as the handler returns, so it must wait until the main
// thread has written the results, and never longer than Windows allows. Wine
// raises none of these events; the handler and the window are driven directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "check/StopGate.h"

namespace {

using namespace check;

constexpr DWORD kLongWaitMs = 30000;  // longer than any test: a return before it is the gate's doing

// A call on a thread of its own, as the console or the session calls us.
class CCallThread {
public:
    explicit CCallThread(std::function<LONG_PTR()> call) : m_call(std::move(call)) {
        m_hThread = ::CreateThread(nullptr, 0, &CCallThread::Main, this, 0, nullptr);
    }
    ~CCallThread() {
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
    }
    bool EndsWithin(DWORD nMs) const { return ::WaitForSingleObject(m_hThread, nMs) == WAIT_OBJECT_0; }
    LONG_PTR Result() const { return m_nResult; }

private:
    static DWORD WINAPI Main(LPVOID p) {
        auto* pThis = static_cast<CCallThread*>(p);
        pThis->m_nResult = pThis->m_call();
        return 0;
    }
    std::function<LONG_PTR()> m_call;
    LONG_PTR m_nResult = -1;
    HANDLE m_hThread;
};

// The main thread's part: see the request, write, then let the waiting thread go.
void PlayMainThread(CStopGate& gate, const CCallThread& waiting, std::atomic<bool>& bWritten) {
    for (int i = 0; i < 500 && !gate.Requested(); ++i) ::Sleep(10);
    ASSERT_TRUE(gate.Requested());
    EXPECT_FALSE(waiting.EndsWithin(200)) << "returned before the results were written";
    bWritten = true;
    gate.Finished(2);
    EXPECT_TRUE(waiting.EndsWithin(5000));
}

TEST(StopGate, ARequestWaitsForTheResultsAndNoLongerThanItsBound) {
    CStopGate gate;
    std::atomic<bool> bWritten{false}, bSeenWritten{false};
    {
        CCallThread waiting([&] {
            const bool bFinished = gate.RequestAndWait("console window closed", kLongWaitMs);
            bSeenWritten = bWritten.load();
            return LONG_PTR(bFinished);
        });
        PlayMainThread(gate, waiting, bWritten);
        EXPECT_EQ(waiting.Result(), 1);
    }
    EXPECT_TRUE(bSeenWritten);
    EXPECT_EQ(gate.Reason(), "console window closed");
    EXPECT_EQ(gate.ExitCode(), 2);
    // The first reason stays; once finished, a late request returns at once.
    EXPECT_TRUE(gate.RequestAndWait("Ctrl+C", kLongWaitMs));
    EXPECT_EQ(gate.Reason(), "console window closed");

    // A main thread that never answers: the bound holds.
    CStopGate silent;
    EXPECT_FALSE(silent.RequestAndWait("console window closed", 50));
    EXPECT_TRUE(silent.Requested());
}

TEST(StopGate, ConsoleHandlerWaitsOnCloseButNotOnCtrlC) {
    {
        CStopGate gate;
        CCallThread ctrlC([&] { return LONG_PTR(HandleConsoleControl(gate, CTRL_C_EVENT, kLongWaitMs)); });
        ASSERT_TRUE(ctrlC.EndsWithin(5000)) << "Ctrl+C must not hold the console's thread";
        EXPECT_EQ(ctrlC.Result(), TRUE);
        EXPECT_EQ(gate.Reason(), "Ctrl+C");
    }
    for (const DWORD nEvent : {DWORD(CTRL_CLOSE_EVENT), DWORD(CTRL_LOGOFF_EVENT), DWORD(CTRL_SHUTDOWN_EVENT)}) {
        CStopGate gate;
        std::atomic<bool> bWritten{false};
        CCallThread closing([&] { return LONG_PTR(HandleConsoleControl(gate, nEvent, kLongWaitMs)); });
        PlayMainThread(gate, closing, bWritten);
        EXPECT_EQ(closing.Result(), TRUE) << nEvent;
    }
    CStopGate gate;
    EXPECT_EQ(HandleConsoleControl(gate, 99, kLongWaitMs), FALSE);
    EXPECT_FALSE(gate.Requested());
}

TEST(StopGate, SessionWindowIsTopLevelAndWaitsAtEndSession) {
    CStopGate gate;
    CSessionWindow session;
    ASSERT_TRUE(session.Start(gate, kLongWaitMs));
    const HWND hWnd = session.Window();
    // A message-only window (parent HWND_MESSAGE) never gets WM_QUERYENDSESSION.
    EXPECT_EQ(::GetAncestor(hWnd, GA_PARENT), ::GetDesktopWindow());
    EXPECT_FALSE(::IsWindowVisible(hWnd));
    EXPECT_NE(::GetWindowThreadProcessId(hWnd, nullptr), ::GetCurrentThreadId());

    // Asked whether the session may end: yes, and the check goes on (it may be cancelled).
    EXPECT_EQ(::SendMessageW(hWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    ::SendMessageW(hWnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(gate.Requested());

    std::atomic<bool> bWritten{false};
    CCallThread ending([&] { return ::SendMessageW(hWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); });
    PlayMainThread(gate, ending, bWritten);
    EXPECT_EQ(gate.Reason(), "log-off or shut-down");
}

}  // namespace
