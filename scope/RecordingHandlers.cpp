// "Record dump stream..." in the system menu: what the marked frame sends, and
// what it is asked, recorded to a .lgrec file until the item is chosen again,
// another frame is clicked, the frame leaves or the window closes.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "framework/FileDialog.h"
#include "scope/RecordingHeader.h"
#include "scope/RecordingName.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr wchar_t kRecordTitle[] = L"Record Dump Stream As";
// Pairs separated by NULs, the list ended by two.
constexpr wchar_t kRecordFilter[] = L"Dump recording (*.lgrec)\0*.lgrec\0All Files (*.*)\0*.*\0";
constexpr COLORREF kRecordColour = RGB(0, 0, 0);

// The status box shows the system code page; the path was chosen in UTF-16.
std::string DisplayName(const std::string& pathUtf8) { return Narrow(Widen(pathUtf8.c_str(), CP_UTF8).c_str()); }
}  // namespace

int CLumagridDlg::RowOfUsbIndex(int nUsbIndexNo) {
    for (int nRow = 0; nRow < DeviceList.GetItemCount(); ++nRow)
        if (static_cast<int>(DeviceList.GetItemData(nRow)) == nUsbIndexNo) return nRow;
    return -1;
}

void CLumagridDlg::SendDumpRequest(int nUsbIndexNo, BYTE byRequest) {
    if (m_lib.setDump == nullptr) return;
    // Before the call: packets the library sends meanwhile come after it.
    if (m_pRecorder && nUsbIndexNo == m_nRecordUsbIndex) m_pRecorder->AddRequest(byRequest);
    m_lib.setDump(nUsbIndexNo, byRequest);
    m_byDumpSent = byRequest;
}

// Called by the dump processing for a packet of the recorded frame that passed
// the gate, so it is the byte sent last that the frame answers.
void CLumagridDlg::RecordPacket(const std::uint8_t* pPacket) {
    const std::size_t nSize = quorvane::kDumpHeaderBytes + m_FrameSettings.m_nXTCount + m_FrameSettings.m_nYTCount;
    // Read with other counts (a pass that took the frame's counts from another
    // answer), the packet would have another size than the file's packets.
    if (nSize != m_pRecorder->PacketSize()) {
        ++m_nRecordSkipped;
        return;
    }
    m_pRecorder->AddPacket(m_byDumpSent, pPacket);
}

// Called when "Record dump stream..." is chosen: starts a recording of the
// marked frame, or ends the one running.
void CLumagridDlg::OnRecordDumpStream() {
    if (m_pRecorder) {
        EndRecording();
        return;
    }
    const int nSel = DeviceList.GetSelectionMark();
    if (nSel < 0 || nSel >= DeviceList.GetItemCount() || nSel >= static_cast<int>(m_arrDeviceRecords.size())) return;
    const int nUsbIndexNo = static_cast<int>(DeviceList.GetItemData(nSel));

    SYSTEMTIME now{};
    m_pfnLocalTime(&now);
    const std::string name =
        scope::RecordingDefaultName(m_arrDeviceRecords[static_cast<std::size_t>(nSel)].name, now.wYear, now.wMonth,
                                    now.wDay, now.wHour, now.wMinute, now.wSecond, &IsCodePageLeadByte);
    CSaveAsDialog dialog;
    dialog.pszTitle = kRecordTitle;
    dialog.filter.assign(kRecordFilter, sizeof kRecordFilter / sizeof kRecordFilter[0]);
    dialog.pszDefExt = L"lgrec";
    dialog.dwFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    std::wstring chosen;
    if (!dialog.Run(m_pfnGetSaveFileName, m_hWnd, Widen(name.c_str()), chosen) || m_pRecorder) return;

    // Packets and connects went on while the dialog was open: the frame must
    // still be the marked one.
    const int nRow = RowOfUsbIndex(nUsbIndexNo);
    if (nRow < 0 || nRow != DeviceList.GetSelectionMark()) {
        AppendStatusLine("Recording not started: the frame is no longer marked", RGB(255, 0, 0));
        return;
    }
    StartRecording(nRow, chosen);
}

void CLumagridDlg::StartRecording(int nRow, const std::wstring& chosenPath) {
    const quorvane::DeviceRecord& device = m_arrDeviceRecords[static_cast<std::size_t>(nRow)];
    const int nUsbIndexNo = device.nUsbIndexNo;

    SYSTEMTIME now{};
    m_pfnLocalTime(&now);
    quorvane::FrameSettings answer = m_SysInfoAnswer;
    int nSysInfoResult = m_nSysInfoResult;
    if (m_nSysInfoUsbIndex != nUsbIndexNo) {
        // The mark moved without a click (the keyboard), so the answer kept
        // is another frame's: this frame's own, asked now.
        answer = quorvane::FrameSettings{};
        nSysInfoResult = m_lib.getSysInfo != nullptr ? m_lib.getSysInfo(nUsbIndexNo, &answer) : 0;
    }

    // The counts the frame's packets are read with: those in force when it is
    // the frame in force, else those a pass would give it (its row's, then
    // its answer's).
    std::uint16_t nXCount = 0, nYCount = 0;
    if (m_nFrameUsbIndex == nUsbIndexNo) {
        nXCount = m_FrameSettings.m_nXTCount;
        nYCount = m_FrameSettings.m_nYTCount;
    } else {
        nXCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nRow, 1)));
        nYCount = static_cast<std::uint16_t>(std::atoi(DeviceList.GetItemText(nRow, 2)));
        if (nXCount == 0 && nYCount == 0 && nSysInfoResult) {
            nXCount = answer.m_nXTCount;
            nYCount = answer.m_nYTCount;
        }
    }
    const recording::Header header = scope::RecordingHeader(device, now, nSysInfoResult, answer, nXCount, nYCount);

    const std::string pathUtf8 = scope::WithRecordingExtension(Narrow(chosenPath.c_str(), CP_UTF8));
    auto recorder = std::make_unique<scope::DumpRecorder>(header, m_recordingOptions, m_pfnNowMs, m_pfnWriteFile);
    if (const DWORD nError = recorder->Open(Widen(pathUtf8.c_str(), CP_UTF8), m_hWnd, WM_LUMAGRID_RECORDING_FAILED)) {
        ShowFileError(nError, pathUtf8);  // a menu command: no packet handler waits
        return;
    }
    m_pRecorder = std::move(recorder);
    m_nRecordUsbIndex = nUsbIndexNo;
    m_strRecordPathUtf8 = pathUtf8;
    m_nRecordSkipped = 0;
    Trace("recording usbindexNo %d to %s\n", nUsbIndexNo, pathUtf8.c_str());
    AppendStatusLine(("Recording dump stream to " + DisplayName(pathUtf8)).c_str(), kRecordColour);
    UpdateRecordMenuItem();
}

void CLumagridDlg::EndRecording(bool bBoxNow) {
    if (!m_pRecorder) return;
    // Out of the dialog first: no packet or request goes to it while it closes.
    std::unique_ptr<scope::DumpRecorder> recorder = std::move(m_pRecorder);
    m_nRecordUsbIndex = -1;
    recorder->Close();

    const std::uint64_t nPackets = recorder->Packets();
    std::string line = "Recording ended: " + DisplayName(m_strRecordPathUtf8) + ", " + std::to_string(nPackets) +
                       (nPackets == 1 ? " packet" : " packets");
    if (recorder->WriteError() != 0) line += ", write error: the file keeps its blocks written before it";
    if (recorder->Dropped() > 0)
        line += ", " + std::to_string(recorder->Dropped()) + " records lost (the disk was too slow)";
    if (m_nRecordSkipped > 0)
        line += ", " + std::to_string(m_nRecordSkipped) + " packets of other receiver counts left out";
    Trace("%s\n", line.c_str());
    AppendStatusLine(line.c_str(), recorder->WriteError() != 0 ? RGB(255, 0, 0) : kRecordColour);
    UpdateRecordMenuItem();

    if (const DWORD nError = recorder->WriteError()) {
        if (bBoxNow) {
            ShowFileError(nError, m_strRecordPathUtf8);
        } else {
            // Maybe inside the library's send (a connect): a box would hold its thread.
            m_arrAutoSaveErrors.emplace_back(nError, m_strRecordPathUtf8);
            PostMessage(WM_LUMAGRID_FILE_ERROR);
        }
    }
}

// Posted by the writer when a write failed.
LRESULT CLumagridDlg::OnRecordingFailed(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    // A recording ended since, or a new one, is not the one that failed.
    if (m_pRecorder && m_pRecorder->Failed()) EndRecording(true);
    return 0;
}

// Enabled while a frame is marked (and while recording, so it can be ended),
// checked while recording.
void CLumagridDlg::UpdateRecordMenuItem() {
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hMenu == nullptr) return;
    const int nSel = DeviceList.GetSelectionMark();
    const bool bMarked = nSel >= 0 && nSel < DeviceList.GetItemCount();
    ::EnableMenuItem(hMenu, IDM_RECORD_DUMP_STREAM, MF_BYCOMMAND | (bMarked || m_pRecorder ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(hMenu, IDM_RECORD_DUMP_STREAM, MF_BYCOMMAND | (m_pRecorder ? MF_CHECKED : MF_UNCHECKED));
}

// The list's mark also moves by keyboard, without a message to the dialog:
// the item's state is settled when the system menu opens.
LRESULT CLumagridDlg::OnInitMenuPopup(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    if (HIWORD(lParam) != 0) {
        UpdateRecordMenuItem();
        UpdateSweepMenuItem();
    }
    return Default();
}
