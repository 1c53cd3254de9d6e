// "Sweep Test..." on the real dialog with a stepped clock: the item, the
// request and the mode after it, the verdict in the status box, what cancels
// a sweep, and the daily pass waiting for it.
#include "DialogFixture.h"

#include <algorithm>
#include <cstdio>

#include "link/DumpCodes.h"
#include "scope/DumpRequest.h"

namespace {
double g_ms = 0.0;
double SteppedMs() { return g_ms; }

constexpr int kX = 12;
constexpr int kY = 8;

class SweepTest : public DialogTest {
public:
    // For the cancel cases' table.
    using DialogTest::Click;
    using DialogTest::ClickRow;
    using DialogTest::Connect;

protected:
    // Row 0: "A" (usb 4), row 1: "B" (usb 9), both 12 x 8 in modules of 4; row 0 clicked.
    void OpenTwo(const char* pszAppName = "Lumagrid") {
        fake::Current().devices = {fake::Frame("A", 4, kX, kY, 4, 4), fake::Frame("B", 9, kX, kY, 4, 4)};
        Open(pszAppName);
        g_ms = 1000.0;
        dlg->m_pfnNowMs = &SteppedMs;
        dlg->m_dSweepTimeLimitSeconds = 5.0;
        Connect(2);
        ClickRow(0);
    }
    void ChooseSweep() { ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_SWEEP_TEST, 0); }
    UINT MenuState() {
        HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
        ::SendMessageW(dlg->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, TRUE));
        return ::GetMenuState(hMenu, IDM_SWEEP_TEST, MF_BYCOMMAND);
    }
    // Every receiver at 200, those from `from` to `to` (X then Y, 0-based over both axes) at 10.
    static std::vector<std::uint8_t> Packet(int from = -1, int to = -1) {
        std::vector<std::uint8_t> p(7 + kX + kY, 200);
        for (int i = from; i >= 0 && i <= to; ++i) p[static_cast<std::size_t>(7 + i)] = 10;
        return p;
    }
    void Baseline() {
        for (int i = 0; i < 8; ++i) SendDump(Packet());
        ASSERT_TRUE(dlg->m_pSweep && dlg->m_pSweep->Started());
    }
    // A stylus two cells wide over every receiver but `skip` (0-based over both axes).
    void Stroke(int skip = -1) {
        for (int i = 0; i < kX + kY; ++i) {
            if (i == skip) continue;
            g_ms += 10.0;
            SendDump(Packet(i, i));
        }
    }
    void TimeLimitPasses() {
        g_ms += 6000.0;
        ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAverages, 0);
        PumpMessages();
    }
    bool StatusHas(const std::string& text) const { return Text(IDC_STATUS).find(text) != std::string::npos; }
};
}  // namespace

TEST_F(SweepTest, ItemIsEnabledWhileAFrameIsMarked) {
    fake::Current().devices = {fake::Frame("A", 4, kX, kY, 4, 4)};
    Open();
    HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
    wchar_t text[64] = {0};
    ::GetMenuStringW(hMenu, IDM_SWEEP_TEST, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"Sweep Test...");
    Connect(1);
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    ClickRow(0);
    EXPECT_EQ(MenuState() & MF_GRAYED, 0u);
    Connect(1);  // a refill drops the mark
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    ChooseSweep();
    EXPECT_FALSE(dlg->m_bSweepRunning);
    EXPECT_FALSE(dlg->m_pSweepWindow);
}

// IR with the Dump Axis in force; the mode before is asked again at the end,
// the verdict's lines are in the status box and the window shows it until Esc.
TEST_F(SweepTest, RequestsIrWithTheAxisInForceAndTheModeBeforeAfterTheVerdict) {
    OpenTwo("LumagridX");
    Click(IDC_AXIS_TL1);
    Click(IDC_SCOPE_PERCENT);
    ChooseSweep();
    ASSERT_TRUE(dlg->m_bSweepRunning);
    ASSERT_TRUE(dlg->m_pSweepWindow && dlg->m_pSweepWindow->Handle() != nullptr);
    char expected[32];
    std::snprintf(expected, sizeof expected, "setDump 4 0x%02x",
                  scope::ComposeDumpRequest(SCOPE_IR, DUMP_AXIS_TL1).bySent);
    EXPECT_EQ(fake::Current().SetDumps().back(), expected);
    EXPECT_EQ(dlg->m_pSweep->set(), check::BeamSet::TL1);

    // On OT: a stroke that misses receiver X 6 (R:6) ends it at the time
    // limit; before that it is still running.
    Click(IDC_AXIS_OT);  // cancels: the set changed
    EXPECT_FALSE(dlg->m_bSweepRunning);
    Click(IDC_SCOPE_PERCENT);
    ChooseSweep();
    Baseline();
    Stroke(5);
    PumpMessages();
    EXPECT_TRUE(dlg->m_bSweepRunning);
    const std::size_t nRequests = fake::Current().SetDumps().size();
    TimeLimitPasses();
    EXPECT_FALSE(dlg->m_bSweepRunning);
    EXPECT_TRUE(StatusHas("X stuck R:6  R module 2 position 2")) << Text(IDC_STATUS);
    EXPECT_TRUE(StatusHas("FAIL"));
    ASSERT_EQ(fake::Current().SetDumps().size(), nRequests + 1);
    std::snprintf(expected, sizeof expected, "setDump 4 0x%02x",
                  scope::ComposeDumpRequest(SCOPE_PERCENT, DUMP_AXIS_OT).bySent);
    EXPECT_EQ(fake::Current().SetDumps().back(), expected);
    EXPECT_EQ(dlg->m_nScopeMode, SCOPE_PERCENT);
    ASSERT_TRUE(dlg->m_pSweepWindow && dlg->m_pSweepWindow->Picture().result);
    EXPECT_EQ(dlg->m_pSweepWindow->Picture().result->verdict, check::Verdict::Fail);

    // Esc closes the window and nothing else is asked.
    ::SendMessageW(dlg->m_pSweepWindow->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages();
    EXPECT_FALSE(dlg->m_pSweepWindow);
    EXPECT_EQ(fake::Current().SetDumps().size(), nRequests + 1);

    // Every receiver seen: PASS as soon as the last one drops.
    ChooseSweep();
    Baseline();
    Stroke();
    PumpMessages();
    EXPECT_FALSE(dlg->m_bSweepRunning);
    EXPECT_TRUE(StatusHas("PASS")) << Text(IDC_STATUS);
}

// Each way a sweep is cancelled says so, stops taking packets and leaves the
// request to what cancelled it.
TEST_F(SweepTest, AnotherFrameAModeButtonOrTheFrameLeavingCancelsIt) {
    struct Case {
        const char* name;
        void (*cancel)(SweepTest&);
        const char* line;
    };
    const Case cases[] = {
        {"other frame", [](SweepTest& t) { t.ClickRow(1); }, "Sweep test cancelled: a frame was clicked"},
        {"mode button", [](SweepTest& t) { t.Click(IDC_SCOPE_AMBIENT); }, "Sweep test cancelled: a mode button"},
        {"frame left",
         [](SweepTest& t) {
             fake::Current().devices.erase(fake::Current().devices.begin());
             t.Connect(1);
         },
         "Sweep test cancelled: the frame left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenTwo();
        Click(IDC_SCOPE_PERCENT);
        ChooseSweep();
        Baseline();
        c.cancel(*this);
        EXPECT_FALSE(dlg->m_bSweepRunning);
        EXPECT_TRUE(StatusHas(c.line)) << Text(IDC_STATUS);
        EXPECT_NE(dlg->m_nScopeMode, SCOPE_IR);
        // No verdict follows, whatever comes next.
        TimeLimitPasses();
        EXPECT_FALSE(StatusHas("FAIL"));
        dlg->DestroyWindow();
        dlg.reset();
        fake::Reset();
    }
}

TEST_F(SweepTest, DailyPassWaitsForTheSweepAndRunsAfterIt) {
    OpenTwo("LumagridX");
    ChooseSweep();
    Baseline();
    ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FILE_SAVE, BN_CLICKED), 0);
    const std::size_t nRequests = fake::Current().SetDumps().size();
    for (int i = 0; i < 10; ++i) ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    EXPECT_EQ(fake::Current().SetDumps().size(), nRequests);  // deferred
    TimeLimitPasses();
    ASSERT_FALSE(dlg->m_bSweepRunning);
    const std::size_t nAfterSweep = fake::Current().SetDumps().size();
    ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    const std::vector<std::string> calls = fake::Current().SetDumps();
    const std::vector<std::string> after(calls.begin() + static_cast<std::ptrdiff_t>(nAfterSweep), calls.end());
    EXPECT_NE(std::find_if(after.begin(), after.end(),
                           [](const std::string& call) { return call.rfind("setDump 9 ", 0) == 0; }),
              after.end());  // not skipped: the pass asks the other frame
}

// After the pass's last row the frame's sample is still awaited: the sweep's
// IR request would drop it and the day's table would lack the frame.
TEST_F(SweepTest, DailyPassesLastSampleStillAwaitedRefusesTheSweep) {
    OpenTwo("LumagridX");
    ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FILE_SAVE, BN_CLICKED), 0);
    for (int i = 0; i < 20 && !(dlg->m_nAutoSaveRemain == 0 && dlg->m_FileSaveIndex > 0); ++i)
        ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    ASSERT_EQ(dlg->m_nAutoSaveRemain, 0);
    ASSERT_EQ(dlg->m_FileSaveIndex, 1);
    ChooseSweep();
    EXPECT_FALSE(dlg->m_bSweepRunning);
    EXPECT_TRUE(StatusHas("Sweep test not started: the daily save is reading the frames")) << Text(IDC_STATUS);
    EXPECT_EQ(dlg->m_FileSaveIndex, 1);
}
