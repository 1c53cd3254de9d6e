// Ending a run from the console's or the session's own thread: Windows ends
// the process as soon as the handler returns, so it must wait until the main
// thread has written the results, and never longer than Windows allows. Wine
// raises none of these events; the handler and the window are driven directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "console/StopGate.h"

namespace {

using namespace check;
using namespace std::chrono_literals;

constexpr DWORD kLongWaitMs = 30000;  // longer than any test: a return before it is the gate's doing

// The main thread's part: see the request, write, then let the waiting call return.
template <typename Result>
void PlayMainThread(CStopGate& gate, std::future<Result>& waiting) {
    for (int i = 0; i < 500 && !gate.Requested(); ++i) ::Sleep(10);
    ASSERT_TRUE(gate.Requested());
    EXPECT_EQ(waiting.wait_for(200ms), std::future_status::timeout) << "returned before the results were written";
    gate.Finished(2);
    EXPECT_EQ(waiting.wait_for(5s), std::future_status::ready);
}

TEST(StopGate, ARequestWaitsForTheResultsAndNoLongerThanItsBound) {
    CStopGate gate;
    auto waiting =
        std::async(std::launch::async, [&] { return gate.RequestAndWait("console window closed", kLongWaitMs); });
    PlayMainThread(gate, waiting);
    EXPECT_TRUE(waiting.get());
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
    CStopGate ctrlC;
    auto handled =
        std::async(std::launch::async, [&] { return HandleConsoleControl(ctrlC, CTRL_C_EVENT, kLongWaitMs); });
    ASSERT_EQ(handled.wait_for(5s), std::future_status::ready) << "Ctrl+C must not hold the console's thread";
    EXPECT_EQ(handled.get(), TRUE);
    EXPECT_EQ(ctrlC.Reason(), "Ctrl+C");

    for (const DWORD nEvent : {DWORD(CTRL_CLOSE_EVENT), DWORD(CTRL_LOGOFF_EVENT), DWORD(CTRL_SHUTDOWN_EVENT)}) {
        CStopGate gate;
        auto closing = std::async(std::launch::async, [&] { return HandleConsoleControl(gate, nEvent, kLongWaitMs); });
        PlayMainThread(gate, closing);
        EXPECT_EQ(closing.get(), TRUE) << nEvent;
    }
    CStopGate other;
    EXPECT_EQ(HandleConsoleControl(other, 99, kLongWaitMs), FALSE);
    EXPECT_FALSE(other.Requested());
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

    auto ending =
        std::async(std::launch::async, [&] { return ::SendMessageW(hWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); });
    PlayMainThread(gate, ending);
    EXPECT_EQ(gate.Reason(), "log-off or shut-down");
}

}  // namespace
