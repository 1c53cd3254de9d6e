// The status box and the LED check: "LED Check" arms the check, the dump
// processing fills the samples and calls DoLedCheck, which writes the verdict.
#include "app/LumagridDlg.h"
#include "reports/LedCheck.h"
#include "scope/DumpRequest.h"
#include "scope/ScopeControls.h"

#include <algorithm>
#include <string>

void CLumagridDlg::AppendStatusLine(const char* pszText, COLORREF crColour) { AppendStatusLines(pszText, crColour, 1); }

// Under Wine every insertion costs the box some 0.3 ms whatever its length:
// line by line, the 8192 rows of a 4096 x 4096 frame's report kept the window
// from answering for four seconds. Of a longer run the box shows the last
// block's worth, which keeps the verdict above it within reach.
void CLumagridDlg::AppendStatusLines(const char* pszText, COLORREF crColour, std::size_t nCount) {
    const int nLines = static_cast<int>(std::min<std::size_t>(nCount, CStatusBox::kMaxBlockLines));
    const CString strLine = CString(pszText) + "\r\n";
    std::string block;
    block.reserve(static_cast<std::size_t>(nLines) * static_cast<std::size_t>(strLine.GetLength()));
    for (int i = 0; i < nLines; ++i) block += strLine.str();
    AppendStatusBlock(block, nLines, crColour);
}

// nLines lines, each ended by CR LF, in one colour.
void CLumagridDlg::AppendStatusBlock(const std::string& strBlock, int nLines, COLORREF crColour) {
    if (nLines <= 0) return;
    m_richStatus.MakeRoomForLines(nLines);
    m_richStatus.SetSel(-1, -1);
    CHARFORMATW cf{};  // no effects: automatic colour off
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = crColour;
    m_richStatus.SetSelectionCharFormat(cf);
    m_richStatus.ReplaceSel(strBlock.c_str(), FALSE);
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
                               frame.X_MODULE_CELL,  frame.X_TILT1,        frame.X_TILT2};
    input.y = reports::LedAxis{m_arrYSamples.data(), m_arrYSamples.size(), m_yWindow.nStart, frame.m_nYTCount,
                               frame.Y_MODULE_CELL,  frame.Y_TILT1,        frame.Y_TILT2};
    m_richStatus.KeepFromHere();
    // A run of lines in one colour is one insertion: a frame with a dead axis
    // has as many lines as receivers.
    const std::vector<reports::StatusLine> lines = reports::RunLedCheck(input);
    std::string block;
    int nLines = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        block += lines[i].text + "\r\n";
        ++nLines;
        if (i + 1 == lines.size() || lines[i + 1].colour != lines[i].colour) {
            AppendStatusBlock(block, nLines, static_cast<COLORREF>(lines[i].colour));
            block.clear();
            nLines = 0;
        }
    }
}
