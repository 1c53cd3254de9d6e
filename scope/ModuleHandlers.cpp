// Module buttons above each chart: "Total" or one module of the axis becomes
// the window that the dump processing charts, averages and samples.
#include "app/LumagridDlg.h"
#include "app/resource.h"

using namespace scope;

namespace {
// Button k (1 to 10) of an axis from its control id.
int XModuleNumber(UINT nID) {
    return nID >= IDC_X_MODULE9 ? static_cast<int>(nID - IDC_X_MODULE9) + 9 : static_cast<int>(nID - IDC_X_MODULE1) + 1;
}
int YModuleNumber(UINT nID) {
    return nID >= IDC_Y_MODULE9 ? static_cast<int>(nID - IDC_Y_MODULE9) + 9 : static_cast<int>(nID - IDC_Y_MODULE1) + 1;
}

// Presses one button of an axis row and releases the other ten. Done here
// rather than by radio grouping: the template's tab order puts buttons of
// both axes into one group.
void PressOnly(CButton (&row)[11], int nPressed) {
    for (int i = 0; i < 11; ++i) row[i].SetCheck(i == nPressed ? BST_CHECKED : BST_UNCHECKED);
}

void ShowRow(CButton (&row)[11], int nModules) {
    for (CButton& button : row) button.SetCheck(BST_UNCHECKED);
    for (CButton& button : row) button.ShowWindow(SW_HIDE);
    int nVisible = VisibleModuleButtons(nModules);
    for (int i = 0; i < nVisible; ++i) row[i].ShowWindow(SW_SHOW);
}
}  // namespace

void CLumagridDlg::SetupModules() {
    m_arrXModuleSize.clear();
    m_arrYModuleSize.clear();
    Trace("CHART MODE = %d\n", 0);
    if (m_FrameSettings.X_MODULE_CELL == 0 || m_FrameSettings.Y_MODULE_CELL == 0) {
        ShowModuleButtons(0, 0);
        return;
    }
    AxisModules modules = SplitAxes(m_FrameSettings);
    m_arrXModuleSize = std::move(modules.x);
    m_arrYModuleSize = std::move(modules.y);
    Trace("XTCOUNT=%d\n", static_cast<int>(m_arrXModuleSize.size()));
    Trace("YTCOUNT=%d\n", static_cast<int>(m_arrYModuleSize.size()));
    ShowModuleButtons(static_cast<int>(m_arrXModuleSize.size()), static_cast<int>(m_arrYModuleSize.size()));
}

void CLumagridDlg::ShowModuleButtons(int nXModules, int nYModules) {
    ShowRow(m_btnXModule, nXModules);
    ShowRow(m_btnYModule, nYModules);
}

void CLumagridDlg::UpdateXWindow() {
    if (std::optional<AxisWindow> window =
            SelectionWindow(m_nXModuleSel, m_FrameSettings.m_nXTCount, m_FrameSettings.X_MODULE_CELL, m_arrXModuleSize))
        m_xWindow = *window;
    Trace("StartX= %d  EndX=%d Xcount=%d\n", m_xWindow.nStart, m_xWindow.nEnd, m_xWindow.nCount);
}

void CLumagridDlg::UpdateYWindow() {
    if (std::optional<AxisWindow> window =
            SelectionWindow(m_nYModuleSel, m_FrameSettings.m_nYTCount, m_FrameSettings.Y_MODULE_CELL, m_arrYModuleSize))
        m_yWindow = *window;
    Trace("StartY= %d  EndY=%d Ycount=%d\n", m_yWindow.nStart, m_yWindow.nEnd, m_yWindow.nCount);
}

void CLumagridDlg::OnXTotal() {
    PressOnly(m_btnXModule, 0);
    m_nXModuleSel = 0;
    UpdateXWindow();
}

void CLumagridDlg::OnYTotal() {
    PressOnly(m_btnYModule, 0);
    m_nYModuleSel = 0;
    UpdateYWindow();
}

// A module that would reach past the receivers in force (the buttons came
// from another geometry) leaves the selection, its button and its window.
void CLumagridDlg::OnXModule(UINT nID) {
    int k = XModuleNumber(nID);
    if (static_cast<int>(m_arrXModuleSize.size()) < k) return;
    if (SelectionWindow(k, m_FrameSettings.m_nXTCount, m_FrameSettings.X_MODULE_CELL, m_arrXModuleSize)) {
        PressOnly(m_btnXModule, k);
        m_nXModuleSel = k;
    }
    UpdateXWindow();
}

void CLumagridDlg::OnYModule(UINT nID) {
    int k = YModuleNumber(nID);
    if (static_cast<int>(m_arrYModuleSize.size()) < k) return;
    if (SelectionWindow(k, m_FrameSettings.m_nYTCount, m_FrameSettings.Y_MODULE_CELL, m_arrYModuleSize)) {
        PressOnly(m_btnYModule, k);
        m_nYModuleSel = k;
    }
    UpdateYWindow();
}
