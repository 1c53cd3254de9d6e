// "Check Frame..." on the real dialog with a stepped clock: the item, each
// beam set requested in turn at the frame's pace, the verdict in the status
// box, the Dump Axis and mode before it asked again, the threshold it
// refuses, what cancels it, and the daily pass waiting for it.
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

class CheckFrameTest : public DialogTest {
public:
    using DialogTest::Click;
    using DialogTest::ClickRow;
    using DialogTest::Connect;

    // Row 0: "A" (usb 4), row 1: "B" (usb 9), both 12 x 8 in modules of 4,
    // tilts 3 and 6 on X, 2 and 4 on Y (every set applies); row 0 clicked.
    void OpenTwo(const char* pszAppName = "Lumagrid") {
        fake::Current().devices = {fake::Frame("A", 4, kX, kY, 4, 4), fake::Frame("B", 9, kX, kY, 4, 4)};
        Open(pszAppName);
        g_ms = 1000.0;
        dlg->m_pfnNowMs = &SteppedMs;
        Connect(2);
        ClickRow(0);
    }
    void ChooseCheck() { ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_CHECK_FRAME, 0); }
    UINT MenuState() {
        HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
        ::SendMessageW(dlg->m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, TRUE));
        return ::GetMenuState(hMenu, IDM_CHECK_FRAME, MF_BYCOMMAND);
    }
    // Every receiver at 90, X receiver 5 (R:6) dead.
    static std::vector<std::uint8_t> Packet() {
        std::vector<std::uint8_t> p(7 + kX + kY, 90);
        p[7 + 5] = 0;
        return p;
    }
    void Tick(double ms) {
        g_ms += ms;
        ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerCheckFrame, 0);
        PumpMessages();
    }
    // The set in turn: its settle wait passes, then 8 packets 50 ms apart.
    void MeasureSet() {
        Tick(60.0);
        SendDump(Packet());  // within the settle wait: not kept
        Tick(60.0);
        for (int i = 0; i < 8; ++i) {
            g_ms += 50.0;
            SendDump(Packet());
        }
        PumpMessages();
    }
    std::string LastSetDump() const { return fake::Current().SetDumps().back(); }
    static std::string SetDump(int nUsbIndexNo, int nByte) {
        char text[32];
        std::snprintf(text, sizeof text, "setDump %d 0x%02x", nUsbIndexNo, nByte);
        return text;
    }
    // The whole box (Text reads its first 511 characters).
    std::string Status() const {
        HWND hBox = ::GetDlgItem(dlg->m_hWnd, IDC_STATUS);
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hBox)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(hBox, text.data(), static_cast<int>(text.size()))));
        return Narrow(text.c_str());
    }
    bool StatusHas(const std::string& text) const { return Status().find(text) != std::string::npos; }
};
}  // namespace

TEST_F(CheckFrameTest, ItemFollowsSweepTestAndIsEnabledWhileAFrameIsMarkedAndNoSweepRuns) {
    OpenTwo();
    HMENU hMenu = ::GetSystemMenu(dlg->m_hWnd, FALSE);
    // Right after "Sweep Test...", whatever is appended after it.
    const int nItems = ::GetMenuItemCount(hMenu);
    int nSweep = -1;
    for (int i = 0; i < nItems; ++i)
        if (::GetMenuItemID(hMenu, i) == static_cast<UINT>(IDM_SWEEP_TEST)) nSweep = i;
    ASSERT_GE(nSweep, 0);
    ASSERT_LT(nSweep + 1, nItems);
    EXPECT_EQ(::GetMenuItemID(hMenu, nSweep + 1), static_cast<UINT>(IDM_CHECK_FRAME));
    wchar_t text[64] = {0};
    ::GetMenuStringW(hMenu, IDM_CHECK_FRAME, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"Check Frame...");
    EXPECT_EQ(MenuState() & (MF_GRAYED | MF_CHECKED), 0u);

    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_SWEEP_TEST, 0);
    ASSERT_TRUE(dlg->m_bSweepRunning);
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    ChooseCheck();
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("Check Frame not started: a sweep test is running"));
    Click(IDC_SCOPE_AMBIENT_IR);  // ends the sweep

    ChooseCheck();
    ASSERT_TRUE(dlg->m_bCheckRunning);
    EXPECT_EQ(MenuState() & (MF_GRAYED | MF_CHECKED), static_cast<UINT>(MF_CHECKED));  // chosen again: cancels
    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, IDM_SWEEP_TEST, 0);
    EXPECT_FALSE(dlg->m_bSweepRunning);
    EXPECT_TRUE(StatusHas("Sweep test not started: Check Frame is running"));

    Connect(2);  // a refill drops the mark; the check goes on
    EXPECT_TRUE(dlg->m_bCheckRunning);
    Click(IDC_SCOPE_AMBIENT_IR);
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
}

// Maximal IR with each set's dump-axis code in turn, the next only once the
// set's packets came; the verdict's lines; then the Dump Axis and the mode
// from before the check.
TEST_F(CheckFrameTest, RequestsEachSetInTurnAndRestoresTheModeAndDumpAxisBefore) {
    OpenTwo("LumagridX");
    Click(IDC_AXIS_TL1);
    Click(IDC_SCOPE_PERCENT);
    const std::string before = LastSetDump();
    EXPECT_EQ(before, SetDump(4, scope::ComposeDumpRequest(SCOPE_PERCENT, DUMP_AXIS_TL1).bySent));
    ChooseCheck();
    ASSERT_TRUE(dlg->m_bCheckRunning);
    const int codes[] = {DUMP_AXIS_OT, DUMP_AXIS_TL1, DUMP_AXIS_TR1, DUMP_AXIS_TL2, DUMP_AXIS_TR2};
    const char* names[] = {"OT", "TL1", "TR1", "TL2", "TR2"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(LastSetDump(), SetDump(4, codes[i] | SCOPE_MAXIMAL_IR));
        EXPECT_TRUE(IsChecked(static_cast<int>(scope::kDumpAxisFirstRadioId) + i));
        EXPECT_TRUE(IsChecked(IDC_SCOPE_MAXIMAL_IR));
        EXPECT_TRUE(
            StatusHas(std::string("Check Frame: measuring ") + names[i] + " (" + std::to_string(i + 1) + " of 5)"));
        const std::size_t nRequests = fake::Current().SetDumps().size();
        Tick(60.0);
        SendDump(Packet());  // settling
        Tick(60.0);
        for (int k = 0; k < 7; ++k) {
            g_ms += 50.0;
            SendDump(Packet());
        }
        PumpMessages();
        EXPECT_EQ(fake::Current().SetDumps().size(), nRequests) << "asked again before its 8th packet";
        g_ms += 50.0;
        SendDump(Packet());
        PumpMessages();
    }
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("X OT   average ")) << Status();
    EXPECT_TRUE(StatusHas("Y TR2  average "));
    EXPECT_TRUE(StatusHas("X receiver R:6  R module 2 position 2  level 0")) << Status();
    EXPECT_TRUE(StatusHas("FAIL"));
    EXPECT_EQ(LastSetDump(), before);
    EXPECT_EQ(dlg->m_nScopeMode, SCOPE_PERCENT);
    EXPECT_EQ(dlg->m_nDumpAxisMask, DUMP_AXIS_TL1);
    EXPECT_TRUE(IsChecked(IDC_AXIS_TL1));
    EXPECT_TRUE(IsChecked(IDC_SCOPE_PERCENT));
    EXPECT_FALSE(IsChecked(IDC_SCOPE_MAXIMAL_IR));
}

// A frame that goes silent: the time limit from its last packet, in the
// console's words, and the mode before all the same.
TEST_F(CheckFrameTest, TimeLimitEndsItWithTheConsolesErrorAndTheModeBefore) {
    OpenTwo();
    const std::string before = LastSetDump();
    ChooseCheck();
    MeasureSet();  // OT
    Tick(120.0);
    SendDump(Packet());
    SendDump(Packet());
    Tick(4999.0);
    EXPECT_TRUE(dlg->m_bCheckRunning);
    Tick(1.0);
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("ERROR: TL1: the frame stopped sending after 2 of 8 packets")) << Status();
    EXPECT_EQ(LastSetDump(), before);
}

TEST_F(CheckFrameTest, ARefusedThresholdIsNamedAndNothingIsAsked) {
    OpenTwo();
    ::WritePrivateProfileStringA("SETTING", "MIN_ADC_O_PER", "0", (folder + "Lumagrid.ini").c_str());
    const std::size_t nRequests = fake::Current().SetDumps().size();
    ChooseCheck();
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("Check Frame not started: " + folder +
                          "Lumagrid.ini: [SETTING] MIN_ADC_O_PER=0 is not a whole number from 1 to 99; correct it "
                          "or remove the line (default 33)"))
        << Status();
    EXPECT_EQ(fake::Current().SetDumps().size(), nRequests);

    // The bound itself is taken, and becomes the cutline.
    ::WritePrivateProfileStringA("SETTING", "MIN_ADC_O_PER", "99", (folder + "Lumagrid.ini").c_str());
    ChooseCheck();
    ASSERT_TRUE(dlg->m_bCheckRunning);
    for (int i = 0; i < 5; ++i) MeasureSet();
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("cutline 3564")) << Status();  // 99 % of 90 x 40
}

// Each way a check is cancelled says so, takes no packet after it and gives
// no verdict; the mode before is in force again.
TEST_F(CheckFrameTest, AnotherFrameAModeButtonTheAxisTheFrameLeavingOrTheItemAgainCancelsIt) {
    struct Case {
        const char* name;
        void (*cancel)(CheckFrameTest&);
        const char* line;
    };
    const Case cases[] = {
        {"other frame", [](CheckFrameTest& t) { t.ClickRow(1); }, "Check Frame cancelled: a frame was clicked"},
        {"mode button", [](CheckFrameTest& t) { t.Click(IDC_SCOPE_AMBIENT); },
         "Check Frame cancelled: a mode button was pressed"},
        {"dump axis", [](CheckFrameTest& t) { t.Click(IDC_AXIS_TR1); }, "Check Frame cancelled: the Dump Axis changed"},
        {"frame left",
         [](CheckFrameTest& t) {
             fake::Current().devices.erase(fake::Current().devices.begin());
             t.Connect(1);
         },
         "Check Frame cancelled: the frame left"},
        {"item again", [](CheckFrameTest& t) { t.ChooseCheck(); },
         "Check Frame cancelled: Check Frame was chosen again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenTwo("LumagridX");
        Click(IDC_SCOPE_PERCENT);
        const std::string before = LastSetDump();
        ChooseCheck();
        MeasureSet();
        ASSERT_TRUE(dlg->m_bCheckRunning);
        c.cancel(*this);
        EXPECT_FALSE(dlg->m_bCheckRunning);
        EXPECT_TRUE(StatusHas(c.line)) << Status();
        EXPECT_NE(dlg->m_nScopeMode, SCOPE_MAXIMAL_IR);
        if (std::string(c.name) == "item again") {
            EXPECT_EQ(LastSetDump(), before);
            EXPECT_TRUE(IsChecked(IDC_AXIS_OT));
        }
        if (std::string(c.name) == "dump axis") {
            EXPECT_TRUE(IsChecked(IDC_AXIS_TR1));
            EXPECT_FALSE(IsChecked(IDC_AXIS_TL1));
            EXPECT_EQ(dlg->m_nDumpAxisMask, DUMP_AXIS_TR1);
        }
        const std::size_t nRequests = fake::Current().SetDumps().size();
        for (int i = 0; i < 4; ++i) MeasureSet();
        Tick(6000.0);
        EXPECT_EQ(fake::Current().SetDumps().size(), nRequests);
        EXPECT_FALSE(StatusHas("FAIL"));
        EXPECT_FALSE(StatusHas("ERROR"));
        dlg->DestroyWindow();
        dlg.reset();
        fake::Reset();
    }
}

TEST_F(CheckFrameTest, DailyPassWaitsForTheCheckAndRunsAfterIt) {
    OpenTwo("LumagridX");
    ChooseCheck();
    MeasureSet();
    ::CheckDlgButton(dlg->m_hWnd, IDC_AUTO_FILE_SAVE, BST_CHECKED);
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FILE_SAVE, BN_CLICKED), 0);
    EXPECT_EQ(MenuState() & MF_GRAYED, 0u);  // running: choosing it again must cancel
    for (int i = 0; i < 10; ++i) ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    for (const std::string& call : fake::Current().SetDumps())
        EXPECT_EQ(call.rfind("setDump 9 ", 0), std::string::npos);
    for (int i = 0; i < 4; ++i) MeasureSet();
    ASSERT_FALSE(dlg->m_bCheckRunning);
    // The pass is under way now: no new check until it ends.
    EXPECT_EQ(MenuState() & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    const std::size_t nAfterCheck = fake::Current().SetDumps().size();
    ::SendMessageW(dlg->m_hWnd, WM_TIMER, CLumagridDlg::kTimerAutoSave, 0);
    const std::vector<std::string> calls = fake::Current().SetDumps();
    const std::vector<std::string> after(calls.begin() + static_cast<std::ptrdiff_t>(nAfterCheck), calls.end());
    EXPECT_NE(std::find_if(after.begin(), after.end(),
                           [](const std::string& call) { return call.rfind("setDump 9 ", 0) == 0; }),
              after.end());  // not skipped: the pass asks the other frame
}

// Without the frame's geometry answer the check is the console's reduced one
// (OT only, no tilts known); with no record answered at all it asks nothing.
TEST_F(CheckFrameTest, AFrameWithoutItsGeometryAnswerGetsTheConsolesReducedCheck) {
    fake::Device reduced = fake::Frame("R", 4, kX, kY, 4, 4);
    reduced.sysInfoOk = false;
    SelectOnly(reduced);
    g_ms = 1000.0;
    dlg->m_pfnNowMs = &SteppedMs;
    ChooseCheck();
    ASSERT_TRUE(dlg->m_bCheckRunning);
    EXPECT_EQ(LastSetDump(), SetDump(4, DUMP_AXIS_OT | SCOPE_MAXIMAL_IR));
    EXPECT_TRUE(StatusHas("Check Frame: measuring OT (1 of 1)"));
    MeasureSet();
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("reduced: getSysInfo failed; no modules and tilts known, OT only\r\nX OT ")) << Status();
    dlg->DestroyWindow();
    dlg.reset();

    fake::Device mute = fake::Frame("M", 4, kX, kY, 4, 4);
    mute.sysInfoOk = false;
    mute.infoSTOk = false;
    SelectOnly(mute);
    const std::size_t nRequests = fake::Current().SetDumps().size();
    ChooseCheck();
    EXPECT_FALSE(dlg->m_bCheckRunning);
    EXPECT_TRUE(StatusHas("Check Frame started: M\r\nERROR: the frame answered neither getDeviceInfoST nor getSysInfo"))
        << Status();
    EXPECT_EQ(fake::Current().SetDumps().size(), nRequests);
}
