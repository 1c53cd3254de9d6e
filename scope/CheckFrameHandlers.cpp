// "Check Frame..." in the system menu: the console check's measurement and
// diagnosis of the marked frame, driven by the dialog's own packets and
// timers. Each beam set is requested in turn in Maximal IR while the charts
// show it; the verdict goes to the status box in the console's words, and the
// Dump Axis and mode before it are requested again. Another frame, a mode
// button, the Dump Axis, the frame leaving or the item again cancels it.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "check/CheckOptions.h"
#include "check/CheckReport.h"
#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "reports/SettingsFile.h"
#include "scope/DumpRequest.h"

namespace {
constexpr COLORREF kCheckNoteColour = RGB(0, 0, 0);
constexpr COLORREF kCheckErrorColour = RGB(255, 0, 0);
// The pace of the clock's steps: the settle wait ends within it, and the
// time limit strikes while no packet comes.
constexpr UINT kCheckTickMs = 20;
}  // namespace

void CLumagridDlg::OnCheckFrame() {
    if (m_bCheckRunning) {
        const int nUsbIndexNo = m_nCheckUsbIndex;
        CancelCheckFrame("Check Frame was chosen again");
        // Nothing else asks the frame: the mode before, as at the end.
        const int nSel = DeviceList.GetSelectionMark();
        if (nSel >= 0 && static_cast<int>(DeviceList.GetItemData(nSel)) == nUsbIndexNo) RunScopeMode(m_nScopeMode);
        return;
    }
    const int nSel = DeviceList.GetSelectionMark();
    if (nSel < 0 || nSel >= DeviceList.GetItemCount()) return;
    const int nUsbIndexNo = static_cast<int>(DeviceList.GetItemData(nSel));
    // A pass asks the frames with their own counts and requests, and its
    // last sample may still be coming.
    if (AutoSaveReadsFrames()) {
        AppendStatusLine("Check Frame not started: the daily save is reading the frames", kCheckErrorColour);
        return;
    }
    if (m_bSweepRunning) {
        AppendStatusLine("Check Frame not started: a sweep test is running", kCheckErrorColour);
        return;
    }
    // The packets are read with the counts in force: they must be this frame's.
    if (m_nFrameUsbIndex != nUsbIndexNo) {
        AppendStatusLine("Check Frame not started: click the frame first", kCheckErrorColour);
        return;
    }
    // The console tool's threshold, read as strictly: a value it refuses
    // would make this verdict differ from the station's.
    std::string refusal;
    const std::optional<int> threshold = settings::ReadCheckThreshold(SettingsPath(), CP_ACP, refusal);
    if (!threshold) {
        AppendStatusLine(("Check Frame not started: " + refusal).c_str(), kCheckErrorColour);
        return;
    }
    const int nRow = RowOfUsbIndex(nUsbIndexNo);
    const quorvane::DeviceRecord* pDevice = nRow >= 0 ? &m_arrDeviceRecords[static_cast<std::size_t>(nRow)] : nullptr;
    m_strCheckName = pDevice != nullptr ? pDevice->name : std::string();
    // The geometry the console takes: the frame's own answer; without it the
    // settings file's modules and tilts (a reduced check), or, with neither
    // record answered, no counts to read a packet with. The counts are
    // always those in force, which the packets are read with.
    quorvane::FrameSettings frame = m_FrameSettings;
    m_strCheckReduced.clear();
    const bool bAnswered = m_nSysInfoUsbIndex == nUsbIndexNo && m_nSysInfoResult != 0;
    if (bAnswered) {
        frame = m_SysInfoAnswer;
        frame.m_nXTCount = m_FrameSettings.m_nXTCount;
        frame.m_nYTCount = m_FrameSettings.m_nYTCount;
    } else if (pDevice != nullptr && !pDevice->bInfoST) {
        check::FrameVerdict verdict;
        verdict.error = check::kNoCountsError;
        AppendStatusLine(("Check Frame started: " + m_strCheckName).c_str(), kCheckNoteColour);
        for (const reports::StatusLine& line : check::CheckStatusLines(verdict))
            AppendStatusLine(line.text.c_str(), static_cast<COLORREF>(line.colour));
        return;
    } else {
        const CString strSection = GetDeviceSectionName(nSel);
        m_strCheckReduced = check::ReducedGeometryText(
            settings::HasSection(SettingsPath(), strSection.str()) ? strSection.str() : std::string());
    }
    const check::CheckOptions defaults;
    check::DiagnosisSettings diagnosis;
    diagnosis.nThresholdPercent = *threshold;
    const std::size_t nPacketBytes = quorvane::kDumpHeaderBytes + std::size_t{frame.m_nXTCount} + frame.m_nYTCount;
    m_pFrameCheck = std::make_unique<check::FrameMeasurement>(
        check::GeometryOf(frame), diagnosis, nPacketBytes,
        check::CollectSettings{defaults.nPackets, defaults.nSettleMs, defaults.nTimeoutSeconds * 1000});
    m_bCheckRunning = true;
    m_bCheckStepPosted = false;
    m_nCheckUsbIndex = nUsbIndexNo;
    m_nCheckModeBefore = m_nScopeMode;
    m_nCheckAxisBefore = m_nDumpAxisMask;
    AppendStatusLine(("Check Frame started: " + m_strCheckName).c_str(), kCheckNoteColour);
    SetTimer(kTimerCheckFrame, kCheckTickMs);
    if (m_pFrameCheck->Ended()) {
        EndCheckFrame();  // a geometry the check cannot follow: its error is the verdict
        return;
    }
    RequestCheckSet();
    UpdateSweepMenuItem();
}

// The set in turn, in Maximal IR with its dump-axis code; its radio and the
// Maximal IR button show what the charts show.
void CLumagridDlg::RequestCheckSet() {
    const check::BeamSet set = m_pFrameCheck->Set();
    AppendStatusLine(
        ("Check Frame: measuring " + std::string(check::BeamSetName(set)) + " (" +
         std::to_string(m_pFrameCheck->SetNumber()) + " of " + std::to_string(m_pFrameCheck->SetCount()) + ")")
            .c_str(),
        kCheckNoteColour);
    SelectDumpAxis(scope::kDumpAxisFirstRadioId + static_cast<unsigned>(set));
    for (int i = 0; i < kScopeModeCount; ++i)
        ModeButton(i)->SetCheck(i == SCOPE_MAXIMAL_IR ? BST_CHECKED : BST_UNCHECKED);
    m_nScopeMode = SCOPE_MAXIMAL_IR;
    const BYTE byRequest = m_pFrameCheck->Request();
    SendDumpRequest(m_nCheckUsbIndex, byRequest);
    DiscardWaitingPackets();
    m_nDumpUsbIndex = m_nCheckUsbIndex;
    m_byDumpRequest = byRequest;
    m_FileSaveIndex = 0;  // a daily sample must not fill with the check's packets
    m_pFrameCheck->Collector().Start(m_pfnNowMs());
}

// Called by the dump processing for every packet of the frame in force.
void CLumagridDlg::CheckFramePacket(const std::uint8_t* pPacket) {
    if (!m_bCheckRunning || m_bCheckStepPosted || m_nDumpUsbIndex != m_nCheckUsbIndex ||
        m_byDumpRequest != m_pFrameCheck->Request())
        return;
    check::PacketCollector& collector = m_pFrameCheck->Collector();
    collector.AddPacket(pPacket, m_pfnNowMs());
    if (collector.Ended()) {
        // The next request once the library's send has returned.
        m_bCheckStepPosted = true;
        PostMessage(WM_LUMAGRID_CHECK_STEP);
    }
}

void CLumagridDlg::CheckFrameTick() {
    if (!m_bCheckRunning || m_bCheckStepPosted) return;
    check::PacketCollector& collector = m_pFrameCheck->Collector();
    collector.Tick(m_pfnNowMs());
    if (collector.Ended()) {
        m_bCheckStepPosted = true;
        PostMessage(WM_LUMAGRID_CHECK_STEP);
    }
}

LRESULT CLumagridDlg::OnCheckFrameStep(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (!m_bCheckRunning || !m_bCheckStepPosted) return 0;  // cancelled since
    m_bCheckStepPosted = false;
    m_pFrameCheck->Next();
    if (m_pFrameCheck->Ended()) EndCheckFrame();
    else RequestCheckSet();
    return 0;
}

void CLumagridDlg::EndCheckFrame() {
    m_bCheckRunning = false;
    KillTimer(kTimerCheckFrame);
    check::FrameVerdict verdict = m_pFrameCheck->Verdict(m_strCheckName, m_nCheckUsbIndex);
    verdict.reduced = m_strCheckReduced;
    for (const reports::StatusLine& line : check::CheckStatusLines(verdict))
        AppendStatusLine(line.text.c_str(), static_cast<COLORREF>(line.colour));
    m_pFrameCheck.reset();
    // The Dump Axis and mode before, for the frame the check asked (unless
    // the mark moved by keyboard meanwhile: that frame is not the one in force).
    SelectDumpAxis(scope::kDumpAxisFirstRadioId + static_cast<unsigned>(m_nCheckAxisBefore / kDumpAxisStep));
    const int nSel = DeviceList.GetSelectionMark();
    if (nSel >= 0 && static_cast<int>(DeviceList.GetItemData(nSel)) == m_nCheckUsbIndex) {
        RunScopeMode(m_nCheckModeBefore);
    } else {
        for (int i = 0; i < kScopeModeCount; ++i)
            ModeButton(i)->SetCheck(i == m_nCheckModeBefore ? BST_CHECKED : BST_UNCHECKED);
        m_nScopeMode = m_nCheckModeBefore;
    }
    UpdateSweepMenuItem();
}

void CLumagridDlg::CancelCheckFrame(const char* pszReason) {
    if (!m_bCheckRunning) return;
    m_bCheckRunning = false;
    m_bCheckStepPosted = false;
    KillTimer(kTimerCheckFrame);
    m_pFrameCheck.reset();
    SelectDumpAxis(scope::kDumpAxisFirstRadioId + static_cast<unsigned>(m_nCheckAxisBefore / kDumpAxisStep));
    for (int i = 0; i < kScopeModeCount; ++i)
        ModeButton(i)->SetCheck(i == m_nCheckModeBefore ? BST_CHECKED : BST_UNCHECKED);
    m_nScopeMode = m_nCheckModeBefore;
    AppendStatusLine((std::string("Check Frame cancelled: ") + pszReason).c_str(), kCheckErrorColour);
    UpdateSweepMenuItem();
}

// Enabled while a frame is marked and neither a daily pass nor a sweep
// reads the frames, and while the check runs (choosing it again cancels);
// checked while it runs.
void CLumagridDlg::UpdateCheckFrameMenuItem() {
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hMenu == nullptr) return;
    const int nSel = DeviceList.GetSelectionMark();
    const bool bMarked = nSel >= 0 && nSel < DeviceList.GetItemCount();
    const bool bPassReads = AutoSaveReadsFrames();
    const bool bEnabled = m_bCheckRunning || (bMarked && !bPassReads && !m_bSweepRunning);
    ::EnableMenuItem(hMenu, IDM_CHECK_FRAME, MF_BYCOMMAND | (bEnabled ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(hMenu, IDM_CHECK_FRAME, MF_BYCOMMAND | (m_bCheckRunning ? MF_CHECKED : MF_UNCHECKED));
}
