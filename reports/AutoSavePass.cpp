#include "reports/AutoSavePass.h"

#include <algorithm>

namespace reports {

void AutoSavePass::BeginAutoSavePass(int nRows) {
    m_nAutoSaveRemain = nRows;
    m_bAutoSaveDumpSent = 0;
    m_arrAutoSaveAsked.clear();
    m_nAutoSaveWaitTicks = 0;
    m_FileSaveIndex = 0;
}

void AutoSavePass::AutoSaveStep() {
    // Deferred, never skipped.
    if (AutoSaveHeld()) return;
    // Asking the next frame (or ending the pass) would drop the sample of the
    // frame prepared last: wait for it, within a bound.
    if (m_bAutoSaveDumpSent == 0 && m_FileSaveIndex > 0) {
        if (++m_nAutoSaveWaitTicks < kAutoSaveSampleWaitTicks) return;
        AutoSaveSampleMissed();
    }
    m_nAutoSaveWaitTicks = 0;
    // Rows that went away with a reconnect during the pass are not measured,
    // nor is a frame a reconnect moved to a row still ahead a second time.
    m_nAutoSaveRemain = std::min(m_nAutoSaveRemain, AutoSaveRowCount());
    if (m_bAutoSaveDumpSent == 0) {
        while (m_nAutoSaveRemain >= 1 && WasAsked(AutoSaveUsbIndexOfRow(m_nAutoSaveRemain - 1))) --m_nAutoSaveRemain;
    }
    if (m_nAutoSaveRemain < 1) {
        EndAutoSavePass();
        return;
    }
    const int n = m_nAutoSaveRemain;
    if (m_bAutoSaveDumpSent == 0) {
        const int nUsbIndexNo = AutoSaveUsbIndexOfRow(n - 1);
        const std::uint8_t byRequest = SendAutoSaveRequest(nUsbIndexNo);
        // A sample the previous frame never sent: this frame's packets must not fill it.
        m_FileSaveIndex = 0;
        m_byAutoSaveRequest = byRequest;
        m_arrAutoSaveAsked.push_back(nUsbIndexNo);
        m_bAutoSaveDumpSent = 1;
        ReadFrameOfRow(n - 1, nUsbIndexNo, byRequest);
    } else {
        PrepareAutoSave(n);
        m_nAutoSaveRemain = n - 1;
        m_bAutoSaveDumpSent = 0;
    }
}

bool AutoSavePass::IsAutoSaveRequest(int nUsbIndexNo, std::uint8_t byRequest) const {
    return !m_arrAutoSaveAsked.empty() && nUsbIndexNo == m_arrAutoSaveAsked.back() && byRequest == m_byAutoSaveRequest;
}

bool AutoSavePass::WasAsked(int nUsbIndexNo) const {
    return std::find(m_arrAutoSaveAsked.begin(), m_arrAutoSaveAsked.end(), nUsbIndexNo) != m_arrAutoSaveAsked.end();
}

}  // namespace reports
