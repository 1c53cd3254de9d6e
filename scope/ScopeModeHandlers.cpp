// The scope-mode buttons and the Dump Axis radios: each press sends one
// dump-request byte to the frame marked in the device list.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "link/QuorvaneLoader.h"
#include "scope/DumpRequest.h"

using namespace scope;

CButton* CLumagridDlg::ModeButton(int nMode) {
    CButton* const buttons[kScopeModeCount] = {&m_btnScopeStop,
                                               &m_btnScopeAmbientIr,
                                               &m_btnScopeAmbient,
                                               &m_btnScopeIr,
                                               &m_btnScopePercent,
                                               &m_btnScopeMaximalIr,
                                               &m_btnScopeLeftTiltPercent,
                                               &m_btnScopeLeftTiltMaximal,
                                               &m_btnScopeRightTiltPercent,
                                               &m_btnScopeRightTiltMaximal};
    return (nMode >= 0 && nMode < kScopeModeCount) ? buttons[nMode] : nullptr;
}

void CLumagridDlg::RunScopeMode(int nMode) {
    for (int i = 0; i < kScopeModeCount; ++i) ModeButton(i)->SetCheck(i == nMode ? BST_CHECKED : BST_UNCHECKED);

    int nSel = DeviceList.GetSelectionMark();
    if (nSel < 0) return;

    if (WaitsBeforeRequest(nMode)) m_pfnSleep(kMaximalRequestWaitMs);
    m_nScopeMode = nMode;
    int nUsbIndexNo = static_cast<int>(DeviceList.GetItemData(nSel));
    DumpRequest request = ComposeDumpRequest(nMode, m_nDumpAxisMask);
    SendDumpRequest(nUsbIndexNo, request.bySent);
    DiscardWaitingPackets();
    m_nDumpUsbIndex = nUsbIndexNo;
    m_byDumpRequest = request.byStored;
    // A daily sample still waited for would fill with this request's packets.
    m_FileSaveIndex = 0;
    if (ClearsChartsAfterRequest(nMode)) ClearCharts();
}

// A mode the user chose ends a sweep's request of IR.
void CLumagridDlg::PressModeButton(int nMode) {
    CancelSweep("a mode button was pressed");
    CancelCheckFrame("a mode button was pressed");
    RunScopeMode(nMode);
}

void CLumagridDlg::OnScopeStop() { PressModeButton(SCOPE_STOP); }
void CLumagridDlg::OnScopeAmbientIr() { PressModeButton(SCOPE_AMBIENT_IR); }
void CLumagridDlg::OnScopeAmbient() { PressModeButton(SCOPE_AMBIENT); }
void CLumagridDlg::OnScopeIr() { PressModeButton(SCOPE_IR); }
void CLumagridDlg::OnScopePercent() { PressModeButton(SCOPE_PERCENT); }
void CLumagridDlg::OnScopeMaximalIr() { PressModeButton(SCOPE_MAXIMAL_IR); }
void CLumagridDlg::OnScopeLeftTiltPercent() { PressModeButton(SCOPE_LEFT_TILT_PERCENT); }
void CLumagridDlg::OnScopeLeftTiltMaximal() { PressModeButton(SCOPE_LEFT_TILT_MAXIMAL); }
void CLumagridDlg::OnScopeRightTiltPercent() { PressModeButton(SCOPE_RIGHT_TILT_PERCENT); }
void CLumagridDlg::OnScopeRightTiltMaximal() { PressModeButton(SCOPE_RIGHT_TILT_MAXIMAL); }

// Called when a Dump Axis radio is clicked; the radio marks itself.
void CLumagridDlg::OnDumpAxis(UINT nID) {
    CancelSweep("the Dump Axis changed");  // its packets would be another set's
    CancelCheckFrame("the Dump Axis changed");
    // Marked again: a cancelled check put the radio of the axis before it back.
    SelectDumpAxis(nID);
    ReissueScopeMode();
}

void CLumagridDlg::ReissueScopeMode() {
    if (ReissuesOnAxisChange(m_nScopeMode)) RunScopeMode(m_nScopeMode);
}

void CLumagridDlg::SelectDumpAxis(UINT nID) {
    for (UINT nRadio = kDumpAxisFirstRadioId; nRadio <= kDumpAxisLastRadioId; ++nRadio)
        ::CheckDlgButton(m_hWnd, static_cast<int>(nRadio), BST_UNCHECKED);
    if (std::optional<int> mask = DumpAxisMaskForRadio(nID)) {
        ::CheckDlgButton(m_hWnd, static_cast<int>(nID), BST_CHECKED);
        m_nDumpAxisMask = *mask;
    }
}

// Sent messages of the library's thread are delivered when this thread next
// looks for messages; peeking for them alone delivers them now, to be dropped.
void CLumagridDlg::DiscardWaitingPackets() { quorvane::DropWaitingMessages(m_bDiscardPackets); }

void CLumagridDlg::ClearCharts() {
    m_chartX.ClearValues();
    m_chartY.ClearValues();
}
