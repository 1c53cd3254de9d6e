// The daily automatic save: at 23:00:00 (or when " Auto File Save" is ticked)
// every listed frame is asked for a Maximal IR dump, one after the other from
// the last row up, and its sample becomes a new column of its own table.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "reports/AutoSavePass.h"
#include "reports/DailyTable.h"
#include "reports/WholeFile.h"
#include "scope/AxisModules.h"
#include "scope/DumpRequest.h"

#include <algorithm>
#include <cstdlib>

// Called when " Auto File Save" is clicked: ticking starts a pass at once
// (a running one starts over); unticking lets a running pass finish.
void CLumagridDlg::OnAutoFileSave() {
    if (DeviceList.GetItemCount() == 0) return;
    if (m_chkAutoFileSave.GetCheck() == BST_CHECKED) StartAutoSavePass();
}

void CLumagridDlg::StartAutoSavePass() {
    // A replay's tables would mix a recording into the site's trend.
    if (IsReplay()) return;
    BeginAutoSavePass(DeviceList.GetItemCount());
    SetTimer(kTimerAutoSave, reports::kAutoSaveStepMs);
    UpdateCheckFrameMenuItem();
}

// Timer 1: the daily trigger, at 23:00:00 or at the first tick after a
// skipped 23:00:00. Every tick counts as the previous one for the next,
// also while the box is clear or no frame is listed, so a day gets one start
// from the clock: the box ticked at 23:30 starts its own pass and no other.
void CLumagridDlg::DailyTriggerTick() {
    SYSTEMTIME now{};
    m_pfnLocalTime(&now);
    const reports::ClockTick tick{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const bool bStarts = reports::DailyPassStarts(m_bDailyTickSeen ? &m_lastDailyTick : nullptr, tick);
    m_lastDailyTick = tick;
    m_bDailyTickSeen = true;
    if (m_chkAutoFileSave.GetCheck() != BST_CHECKED || DeviceList.GetItemCount() < 1) return;
    if (bStarts) StartAutoSavePass();
}

// Packets are read with the receiver counts of the frame they come from: the
// frame of the row being measured, from its "X" and "Y" columns. A frame whose
// device record failed lists 0 and 0; as when its row is clicked, the
// library's settings answer gives its counts then. The windows cover the
// whole axes, as the prepare step's Total will (whose trace lines are that
// step's).
void CLumagridDlg::UseCountsOfRow(int nRow) {
    m_nFrameUsbIndex = static_cast<int>(DeviceList.GetItemData(nRow));
    m_FrameSettings.m_nXTCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nRow, 1)));
    m_FrameSettings.m_nYTCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nRow, 2)));
    quorvane::FrameSettings answer{};
    if (m_FrameSettings.m_nXTCount == 0 && m_FrameSettings.m_nYTCount == 0 && m_lib.getSysInfo != nullptr &&
        m_lib.getSysInfo(m_nFrameUsbIndex, &answer)) {
        m_FrameSettings.m_nXTCount = answer.m_nXTCount;
        m_FrameSettings.m_nYTCount = answer.m_nYTCount;
    }
    m_xWindow = scope::WholeAxisWindow(m_FrameSettings.m_nXTCount);
    m_yWindow = scope::WholeAxisWindow(m_FrameSettings.m_nYTCount);
}

// The steps of a pass (timer 2) are AutoSavePass's; what follows is what they
// have the window do.

// A sweep or a frame check holds the frame and reads its packets: the pass
// waits for it as for the report's dialog.
bool CLumagridDlg::AutoSaveHeld() { return m_bReportDialogOpen || m_bSweepRunning || m_bCheckRunning; }

int CLumagridDlg::AutoSaveRowCount() { return DeviceList.GetItemCount(); }

int CLumagridDlg::AutoSaveUsbIndexOfRow(int nRow) { return static_cast<int>(DeviceList.GetItemData(nRow)); }

void CLumagridDlg::AutoSaveSampleMissed() {
    const std::string name = reports::DailyFileName(m_strAutoSaveSection.str(), m_FileSaveIndex, &IsCodePageLeadByte);
    Trace("=>%s   no sample within %u s\n", name.c_str(), reports::kAutoSaveSampleWaitMs / 1000);
}

std::uint8_t CLumagridDlg::SendAutoSaveRequest(int nUsbIndexNo) {
    SelectDumpAxis(IDC_AXIS_OT);
    BYTE byRequest = static_cast<BYTE>(m_nDumpAxisMask | SCOPE_MAXIMAL_IR);
    SendDumpRequest(nUsbIndexNo, byRequest);
    // The previous frame's last packets go before its counts do.
    DiscardWaitingPackets();
    return byRequest;
}

void CLumagridDlg::ReadFrameOfRow(int nRow, int nUsbIndexNo, std::uint8_t byRequest) {
    UseCountsOfRow(nRow);
    m_nDumpUsbIndex = nUsbIndexNo;
    m_byDumpRequest = byRequest;
    Trace("usbindexNo => %d\n", nUsbIndexNo);
}

void CLumagridDlg::PrepareAutoSave(int nRow) {
    // A click or a mode button since the request has the frame dump something
    // else now: no column rather than one of another mode or frame.
    if (!IsAutoSaveRequest(m_nDumpUsbIndex, m_byDumpRequest)) return;
    // Again: should a reconnect have given the row to another frame, the
    // requested frame's packets are kept out rather than saved as its.
    UseCountsOfRow(nRow - 1);
    m_strAutoSaveSection = GetDeviceSectionName(nRow - 1);
    LoadFrameSettings(m_strAutoSaveSection);
    OnXTotal();
    OnYTotal();
    m_arrXSamples.clear();
    m_arrYSamples.clear();
    m_FileSaveIndex = nRow;
    Trace("m_FileSaveIndex => %d\n", nRow);
}

// The marked frame gets its own geometry and the user's mode back, so the live
// scope never reads one frame's packets with another frame's counts. With no
// row marked the scope stays on the frame measured last.
void CLumagridDlg::EndAutoSavePass() {
    KillTimer(kTimerAutoSave);
    UpdateCheckFrameMenuItem();
    int nSel = DeviceList.GetSelectionMark();
    if (nSel < 0 || nSel >= DeviceList.GetItemCount()) return;
    UseCountsOfRow(nSel);
    LoadFrameSettings(GetDeviceSectionName(nSel));
    SetupModules();
    OnXTotal();
    OnYTotal();
    RunScopeMode(m_nScopeMode);
}

// Called by the dump processing once both buffers hold the frame's sample.
void CLumagridDlg::WriteAutoSaveFile() {
    const int nIndex = m_FileSaveIndex;
    // A message box below lets packets in; they must not save again.
    m_FileSaveIndex = 0;
    SYSTEMTIME now{};
    m_pfnLocalTime(&now);
    reports::DailySample sample{reports::DailyDateText(now.wYear, now.wMonth, now.wDay), m_arrXSamples, m_arrYSamples};
    std::string name = reports::DailyFileName(m_strAutoSaveSection.str(), nIndex, &IsCodePageLeadByte);
    Trace("=>%s   size=%d\n", name.c_str(), static_cast<int>(m_arrXSamples.size()));

    const std::wstring wideName = Widen(name.c_str());
    const std::wstring path = m_strDailyDir + wideName;
    const std::string nameUtf8 = Narrow(wideName.c_str(), CP_UTF8);
    std::string oldText;
    // An old table that cannot be read is never replaced by a first save.
    DWORD nError = reports::ReadWholeFile(path, oldText);
    if (nError == ERROR_FILE_NOT_FOUND) nError = ERROR_SUCCESS;  // a new day: an empty table
    if (nError == ERROR_SUCCESS) {
        std::string newText = reports::MergeDailyTable(oldText, sample);
        nError = WriteWholeFile(path, std::vector<std::uint8_t>(newText.begin(), newText.end()));
    }
    if (nError == ERROR_SUCCESS) return;
    // Not from inside the packet handler: the box would hold the library's
    // thread, and every frame after this one would get no packets, no column.
    m_arrAutoSaveErrors.emplace_back(nError, nameUtf8);
    PostMessage(WM_LUMAGRID_FILE_ERROR);
}

LRESULT CLumagridDlg::OnAutoSaveFileError(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (m_arrAutoSaveErrors.empty()) return 0;
    const std::pair<DWORD, std::string> error = m_arrAutoSaveErrors.front();
    m_arrAutoSaveErrors.erase(m_arrAutoSaveErrors.begin());
    ShowFileError(error.first, error.second);
    return 0;
}
