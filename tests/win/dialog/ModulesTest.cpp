// Module buttons: one per module of the selected frame, and the sample windows.
#include "DialogFixture.h"

namespace {
const int kXRow[11] = {1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1038, 1039};
const int kYRow[11] = {1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1041, 1042};

class ModulesTest : public DialogTest {
protected:
    void SelectFrame(int xCells, int yCells, int xModule, int yModule) {
        SelectOnly(fake::Frame("FRAME", 3, xCells, yCells, xModule, yModule));
    }
    int VisibleButtons(const int (&row)[11]) {
        int n = 0;
        for (int nID : row) n += IsVisible(nID) ? 1 : 0;
        return n;
    }
};
}  // namespace

TEST_F(ModulesTest, NoModuleButtonsBeforeAFrameIsSelected) {
    Open();
    EXPECT_EQ(VisibleButtons(kXRow), 1);  // Total only
    EXPECT_EQ(VisibleButtons(kYRow), 1);
}

TEST_F(ModulesTest, HundredCellsOfSixteenGiveSevenModulesTheLastOfFour) {
    SelectFrame(100, 64, 16, 16);
    EXPECT_EQ(VisibleButtons(kXRow), 8);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(IsVisible(kXRow[i])) << i;
    EXPECT_EQ(VisibleButtons(kYRow), 5);
    EXPECT_TRUE(IsChecked(1019));
    Click(1026);  // module 7
    EXPECT_EQ(dlg->m_nXModuleSel, 7);
    EXPECT_EQ(dlg->m_xWindow.nStart, 96);
    EXPECT_EQ(dlg->m_xWindow.nEnd, 100);
    EXPECT_EQ(dlg->m_xWindow.nCount, 4);
    EXPECT_TRUE(IsChecked(1026));
    EXPECT_FALSE(IsChecked(1019));
    Click(1019);
    EXPECT_EQ(dlg->m_xWindow.nStart, 0);
    EXPECT_EQ(dlg->m_xWindow.nCount, 100);
}

TEST_F(ModulesTest, TenModulesFillTheRow) {
    SelectFrame(160, 90, 16, 16);
    EXPECT_EQ(VisibleButtons(kXRow), 11);
    Click(1039);  // module 10
    EXPECT_EQ(dlg->m_xWindow.nStart, 144);
    EXPECT_EQ(dlg->m_xWindow.nCount, 16);
    // The buttons of the other axis keep their state.
    EXPECT_TRUE(IsChecked(1028));
}

TEST_F(ModulesTest, MoreThanTenModulesShowNoButtonNotEvenTotal) {
    SelectFrame(180, 64, 16, 16);
    EXPECT_EQ(VisibleButtons(kXRow), 0);
    EXPECT_EQ(dlg->m_arrXModuleSize.size(), 12u);
    EXPECT_EQ(dlg->m_xWindow.nCount, 180);
}

TEST_F(ModulesTest, ZeroCellsOnOneAxisLeavesOnlyTheTotalButtons) {
    SelectFrame(100, 64, 16, 0);
    EXPECT_EQ(VisibleButtons(kXRow), 1);
    EXPECT_EQ(VisibleButtons(kYRow), 1);
    EXPECT_TRUE(dlg->m_arrXModuleSize.empty());
    Click(1020);
    EXPECT_EQ(dlg->m_nXModuleSel, 0);
    EXPECT_EQ(dlg->m_xWindow.nCount, 100);
}

TEST_F(ModulesTest, ModuleBeyondTheCountChangesNothing) {
    SelectFrame(100, 64, 16, 16);
    Click(1022);                                                               // module 3
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(1027, BN_CLICKED), 0);  // module 8 of 7
    EXPECT_EQ(dlg->m_nXModuleSel, 3);
    EXPECT_EQ(dlg->m_xWindow.nStart, 32);
    EXPECT_EQ(dlg->m_xWindow.nCount, 16);

    // Counts of a smaller frame in force (a pass measured it) under this
    // frame's buttons: a module past them is refused whole, button included.
    dlg->m_FrameSettings.m_nXTCount = 40;
    Click(1024);  // module 5: receivers 64 to 79
    EXPECT_EQ(dlg->m_nXModuleSel, 3);
    EXPECT_EQ(dlg->m_xWindow.nStart, 32);
    EXPECT_TRUE(IsChecked(1022));
    EXPECT_FALSE(IsChecked(1024));
}
