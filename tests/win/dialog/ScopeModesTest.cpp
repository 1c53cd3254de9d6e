// Mode buttons and Dump Axis radios: which byte goes to which frame, and when.
#include "DialogFixture.h"

namespace {
using Calls = std::vector<std::string>;

class ScopeModesTest : public DialogTest {
protected:
    // An advanced window with frame FRAME-A (usbindexNo 7) selected.
    void OpenWithFrame() {
        AddThreeDevices();
        Open("LumagridX");
        Connect(3);
        ClickRow(0);
        fake::Current().calls.clear();
    }
};
}  // namespace

TEST_F(ScopeModesTest, Tl2PercentAndMaximalCarryTheAxisAndMaximalWaitsFirst) {
    OpenWithFrame();
    Click(IDC_AXIS_TL2);  // Ambient+IR re-sent with TL2
    Click(IDC_SCOPE_PERCENT);
    Click(IDC_SCOPE_MAXIMAL_IR);
    EXPECT_EQ(fake::Current().calls, (Calls{"setDump 7 0x31", "setDump 7 0x34", "sleep 200", "setDump 7 0x35"}));
    EXPECT_EQ(dlg->m_byDumpRequest, 0x35);
    EXPECT_EQ(dlg->m_nScopeMode, 5);
}

TEST_F(ScopeModesTest, TiltModesSendNoAxisButStoreIt) {
    OpenWithFrame();
    Click(IDC_AXIS_TL2);
    fake::Current().calls.clear();
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SCOPE_LEFT_TILT_PERCENT, BN_CLICKED), 0);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x06"}));
    EXPECT_EQ(dlg->m_byDumpRequest, 0x36);
    EXPECT_EQ(dlg->m_nScopeMode, 6);
    // A tilt mode is not re-sent when the axis changes.
    fake::Current().calls.clear();
    Click(IDC_AXIS_TR2);
    EXPECT_TRUE(fake::Current().SetDumps().empty());
    EXPECT_EQ(dlg->m_nDumpAxisMask, 0x40);
}

TEST_F(ScopeModesTest, StopSendsZeroButKeepsTheGateOpenWithAnotherAxis) {
    OpenWithFrame();
    Click(IDC_AXIS_TR1);
    fake::Current().calls.clear();
    Click(IDC_SCOPE_STOP);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x00"}));
    EXPECT_EQ(dlg->m_byDumpRequest, 0x20);
    // Changing the axis in Stop re-sends the stop.
    fake::Current().calls.clear();
    Click(IDC_AXIS_OT);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x00"}));
    EXPECT_EQ(dlg->m_byDumpRequest, 0x00);
}

TEST_F(ScopeModesTest, AxisChangeInAmbientResendsAtOnce) {
    OpenWithFrame();
    Click(IDC_SCOPE_AMBIENT);
    fake::Current().calls.clear();
    Click(IDC_AXIS_TR2);
    EXPECT_EQ(fake::Current().SetDumps(), (Calls{"setDump 7 0x42"}));
}

TEST_F(ScopeModesTest, EachModePressesItsOwnButtonOnly) {
    OpenWithFrame();
    const int modes[] = {1015, 1011, 1012, 1016, 1013, 1014};
    for (int pressed : modes) {
        Click(pressed);
        for (int nID : modes) EXPECT_EQ(IsChecked(nID), nID == pressed) << pressed << " " << nID;
    }
}

TEST_F(DialogTest, ModeWithoutMarkedRowOnlyMovesThePressedLook) {
    AddThreeDevices();
    Open();
    Connect(3);
    fake::Current().calls.clear();
    Click(IDC_SCOPE_MAXIMAL_IR);
    EXPECT_TRUE(IsChecked(IDC_SCOPE_MAXIMAL_IR));
    EXPECT_TRUE(fake::Current().calls.empty());  // no wait, no request
    EXPECT_EQ(dlg->m_nScopeMode, 0);
    EXPECT_EQ(dlg->m_byDumpRequest, 0);
}

TEST_F(DialogTest, AdvancedControlsFollowTheExecutableName) {
    Open("Lumagrid");
    EXPECT_FALSE(IsVisible(IDC_AUTO_FILE_SAVE));
    EXPECT_FALSE(IsVisible(IDC_DUMP_AXIS_LABEL));
    for (int nID = IDC_AXIS_OT; nID <= IDC_AXIS_TR2; ++nID) EXPECT_FALSE(IsVisible(nID));
    dlg->DestroyWindow();

    Open("LumagridX");
    EXPECT_TRUE(IsVisible(IDC_AUTO_FILE_SAVE));
    EXPECT_TRUE(IsVisible(IDC_DUMP_AXIS_LABEL));
    for (int nID = IDC_AXIS_OT; nID <= IDC_AXIS_TR2; ++nID) EXPECT_TRUE(IsVisible(nID));
    for (int nID : {1050, 1052, 1053, 1054}) EXPECT_FALSE(IsVisible(nID));
    dlg->DestroyWindow();

    Open("Lumagridx");
    EXPECT_FALSE(IsVisible(IDC_AUTO_FILE_SAVE));

    // In Korean code page 949, 0x81 0x58 is one Hangul character whose trail byte is "X".
    EXPECT_FALSE(IsAdvancedAppName("Lumagrid\x81\x58", 949));
    EXPECT_TRUE(IsAdvancedAppName("Lumagrid\x81\x58X", 949));
    EXPECT_FALSE(IsAdvancedAppName("", 949));
}
