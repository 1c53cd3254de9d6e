// The status box and the LED check: "LED Check" arms the check, the dump
// processing fills the samples and calls DoLedCheck, which writes the verdict.
#include "app/LumagridDlg.h"
#include "reports/LedCheck.h"
#include "scope/DumpRequest.h"
#include "scope/ScopeControls.h"

void CLumagridDlg::AppendStatusLine(const char* pszText, COLORREF crColour) {
    CString strLine = CString(pszText) + "\r\n";
    m_richStatus.MakeRoomForLine();
    m_richStatus.SetSel(-1, -1);
    CHARFORMATW cf{};
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = 0;  // automatic colour off
    cf.crTextColor = crColour;
    m_richStatus.SetSelectionCharFormat(cf);
    m_richStatus.ReplaceSel(strLine, FALSE);
    m_richStatus.ScrollCaret();
    m_richStatus.LineScroll(m_richStatus.GetLineCount());
}

void CLumagridDlg::ArmLedCheck() {
    m_nLedCheckPending = scope::IsMaximalMode(m_nScopeMode) ? 1 : 0;
    m_arrXSamples.clear();
    m_arrYSamples.clear();
}

// Called when "LED Check" is pressed: arms the check for the next full sample.
void CLumagridDlg::OnLedCheck() {
    if (DeviceList.GetSelectionMark() < 0) return;
    ArmLedCheck();
}

// Called by the dump processing once both sample buffers are full.
void CLumagridDlg::DoLedCheck() {
    if (m_nLedCheckPending == 0) return;
    const quorvane::FrameSettings& frame = m_FrameSettings;
    reports::LedCheckInput input;
    input.nThresholdPercent = scope::ThresholdPercent(m_nScopeMode, m_nMinAdcOPer, m_nMinAdcTPer);
    input.nDumpAxisMask = m_nDumpAxisMask;
    input.x = reports::LedAxis{m_arrXSamples.data(), m_arrXSamples.size(), m_xWindow.nStart, frame.m_nXTCount,
                               frame.X_MODULE_CELL, frame.X_TILT1, frame.X_TILT2};
    input.y = reports::LedAxis{m_arrYSamples.data(), m_arrYSamples.size(), m_yWindow.nStart, frame.m_nYTCount,
                               frame.Y_MODULE_CELL, frame.Y_TILT1, frame.Y_TILT2};
    m_richStatus.KeepFromHere();
    for (const reports::StatusLine& line : reports::RunLedCheck(input))
        AppendStatusLine(line.text.c_str(), static_cast<COLORREF>(line.colour));
}
