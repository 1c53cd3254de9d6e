// "Sweep Test..." in the system menu: the marked frame is asked for IR with
// the Dump Axis in force, a baseline is taken, then the operator sweeps a
// stylus along the edges while the charts keep running beneath the sweep's
// window. The verdict goes to the status box; the mode before is requested
// again. Another frame, a mode button or the frame leaving cancels it.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "check/CheckOptions.h"
#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "text/Numbers.h"

namespace {
constexpr wchar_t kSweepTitle[] = L"Sweep Test";
constexpr COLORREF kSweepNoteColour = RGB(0, 0, 0);
constexpr COLORREF kSweepErrorColour = RGB(255, 0, 0);
// The end-to-end tests run short sweeps: LUMAGRID_SWEEP_TIME_LIMIT in seconds
// (above 0, at most an hour); anything else keeps the product's limit.
double SweepTimeLimit(double dDefault) {
    wchar_t szValue[32] = {0};
    const DWORD n = ::GetEnvironmentVariableW(L"LUMAGRID_SWEEP_TIME_LIMIT", szValue, 32);
    if (n == 0 || n >= 32) return dDefault;
    const std::optional<double> seconds = text::ParseDecimal(Narrow(szValue));
    return seconds && *seconds > 0.0 && *seconds <= 3600.0 ? *seconds : dDefault;
}
}  // namespace

void CLumagridDlg::OnSweepTest() {
    if (m_bSweepRunning) {
        if (m_pSweepWindow && m_pSweepWindow->Handle() != nullptr) ::SetForegroundWindow(m_pSweepWindow->Handle());
        return;
    }
    const int nSel = DeviceList.GetSelectionMark();
    if (nSel < 0 || nSel >= DeviceList.GetItemCount()) return;
    const int nUsbIndexNo = static_cast<int>(DeviceList.GetItemData(nSel));
    // A pass asks the frames with their own counts and requests: the sweep
    // would read its packets, or its IR request would drop the last frame's
    // sample still awaited.
    if (AutoSaveReadsFrames()) {
        AppendStatusLine("Sweep test not started: the daily save is reading the frames", kSweepErrorColour);
        return;
    }
    if (m_bCheckRunning) {
        AppendStatusLine("Sweep test not started: Check Frame is running", kSweepErrorColour);
        return;
    }
    // The packets are read with the counts in force: they must be this frame's.
    if (m_nFrameUsbIndex != nUsbIndexNo) {
        AppendStatusLine("Sweep test not started: click the frame first", kSweepErrorColour);
        return;
    }
    const check::BeamSet set = static_cast<check::BeamSet>(m_nDumpAxisMask / kDumpAxisStep);
    check::SweepSettings settings;
    settings.timeLimitSeconds = SweepTimeLimit(m_dSweepTimeLimitSeconds);
    settings.nThresholdPercent = m_nMinAdcOPer;
    auto sweep = std::make_unique<check::Sweep>(check::GeometryOf(m_FrameSettings), set, settings);
    if (!sweep->error().empty()) {
        AppendStatusLine(("Sweep test not started: " + sweep->error()).c_str(), kSweepErrorColour);
        return;
    }

    // A window still showing the previous verdict makes room for this one.
    m_pSweepWindow.reset();
    m_pSweep = std::move(sweep);
    auto window = std::make_unique<scope::SweepWindow>();
    scope::SweepPicture& picture = window->Picture();
    picture.pSweep = m_pSweep.get();
    picture.heading = "Do not touch the frame: measuring its baseline";
    if (!window->Create(m_hWnd, m_pfnWindowDpi(m_hWnd), kSweepTitle, WM_LUMAGRID_SWEEP_CLOSED)) {
        m_pSweep.reset();
        AppendStatusLine("Sweep test not started: its window could not be created", kSweepErrorColour);
        return;
    }
    m_pSweepWindow = std::move(window);
    m_bSweepRunning = true;
    m_bSweepEndPosted = false;
    m_nSweepUsbIndex = nUsbIndexNo;
    m_nSweepModeBefore = m_nScopeMode;
    m_nSweepBaselinePackets = 0;
    AppendStatusLine("Sweep test started", kSweepNoteColour);
    RunScopeMode(SCOPE_IR);
    UpdateSweepMenuItem();
}

// Called by the dump processing for every packet of the frame in force: one
// pass of the sweep's update, no allocation once the baseline is taken.
void CLumagridDlg::SweepPacket(const std::uint8_t* pPacket) {
    if (!m_bSweepRunning || m_bSweepEndPosted || m_nDumpUsbIndex != m_nSweepUsbIndex) return;
    const std::uint8_t* pReceivers = pPacket + quorvane::kDumpHeaderBytes;
    const std::size_t nBytes = std::size_t{m_FrameSettings.m_nXTCount} + m_FrameSettings.m_nYTCount;
    const double now = m_pfnNowMs() / 1000.0;
    if (!m_pSweep->Started()) {
        m_pSweep->AddBaselinePacket(pReceivers, nBytes);
        if (++m_nSweepBaselinePackets < check::CheckOptions{}.nPackets) return;
        if (!m_pSweep->StartSweep(now)) {
            m_bSweepEndPosted = true;
            PostMessage(WM_LUMAGRID_SWEEP_ENDED);
            return;
        }
        std::string heading = "Sweep a stylus along one X edge and one Y edge of the frame";
        const int nRow = RowOfUsbIndex(m_nSweepUsbIndex);
        if (nRow >= 0)
            heading = "Sweep a stylus along one X edge and one Y edge of " +
                      m_arrDeviceRecords[static_cast<std::size_t>(nRow)].name;
        m_pSweepWindow->Picture().heading = heading;
        return;
    }
    m_pSweep->AddPacket(pReceivers, nBytes, now);
    if (m_pSweep->Ended(now)) {
        m_bSweepEndPosted = true;
        PostMessage(WM_LUMAGRID_SWEEP_ENDED);
    }
}

// At the repaint pace (and on timer 0): the counts, the seconds left, the end
// by the time limit while no packet comes.
void CLumagridDlg::SweepTick() {
    if (!m_bSweepRunning || !m_pSweep || !m_pSweepWindow) return;
    const double now = m_pfnNowMs() / 1000.0;
    if (m_pSweep->Started()) {
        m_pSweepWindow->Picture().progress = check::SweepProgressText(m_pSweep->Progress(now));
        if (!m_bSweepEndPosted && m_pSweep->Ended(now)) {
            m_bSweepEndPosted = true;
            PostMessage(WM_LUMAGRID_SWEEP_ENDED);
        }
    }
    m_pSweepWindow->Repaint();
}

LRESULT CLumagridDlg::OnSweepEnded(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (!m_bSweepRunning || !m_bSweepEndPosted) return 0;  // cancelled since
    m_bSweepRunning = false;
    const double now = m_pfnNowMs() / 1000.0;
    check::SweepResult result;
    if (!m_pSweep->Started()) {
        result.verdict = check::Verdict::Error;
        result.error = m_pSweep->error();
    } else {
        result = m_pSweep->Result(now);
    }
    for (const reports::StatusLine& line : check::SweepStatusLines(result))
        AppendStatusLine(line.text.c_str(), static_cast<COLORREF>(line.colour));
    if (m_pSweepWindow) {
        scope::SweepPicture& picture = m_pSweepWindow->Picture();
        if (m_pSweep->Started()) picture.progress = check::SweepProgressText(m_pSweep->Progress(now));
        picture.heading = result.verdict == check::Verdict::Pass   ? "Every receiver was seen interrupted"
                          : result.verdict == check::Verdict::Fail ? "Sweep test failed: see the status box"
                                                                   : "Sweep test error: " + result.error;
        picture.result = result;
        m_pSweepWindow->Repaint();
    }
    // The mode before, for the frame the sweep asked (unless the mark moved
    // by keyboard meanwhile: that frame is not the one in force).
    const int nSel = DeviceList.GetSelectionMark();
    if (nSel >= 0 && static_cast<int>(DeviceList.GetItemData(nSel)) == m_nSweepUsbIndex) {
        RunScopeMode(m_nSweepModeBefore);
    } else {
        m_nScopeMode = m_nSweepModeBefore;
    }
    UpdateSweepMenuItem();
    return 0;
}

void CLumagridDlg::CancelSweep(const char* pszReason) {
    if (!m_bSweepRunning) return;
    m_bSweepRunning = false;
    m_nScopeMode = m_nSweepModeBefore;
    AppendStatusLine((std::string("Sweep test cancelled: ") + pszReason).c_str(), kSweepErrorColour);
    if (m_pSweepWindow) {
        m_pSweepWindow->Picture().heading = std::string("Cancelled: ") + pszReason;
        m_pSweepWindow->Repaint();
    }
    UpdateSweepMenuItem();
}

LRESULT CLumagridDlg::OnSweepClosed(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    if (m_bSweepRunning) {
        CancelSweep("its window was closed");
        // Nothing else asks the frame: the mode before, as at the end.
        const int nSel = DeviceList.GetSelectionMark();
        if (nSel >= 0 && static_cast<int>(DeviceList.GetItemData(nSel)) == m_nSweepUsbIndex)
            RunScopeMode(m_nSweepModeBefore);
    }
    m_pSweepWindow.reset();
    m_pSweep.reset();
    return 0;
}

// Enabled while a frame is marked.
void CLumagridDlg::UpdateSweepMenuItem() {
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hMenu == nullptr) return;
    const int nSel = DeviceList.GetSelectionMark();
    const bool bMarked = nSel >= 0 && nSel < DeviceList.GetItemCount();
    ::EnableMenuItem(hMenu, IDM_SWEEP_TEST, MF_BYCOMMAND | (bMarked ? MF_ENABLED : MF_GRAYED));
    UpdateCheckFrameMenuItem();  // it waits for a sweep
}
