#include "reports/StatusBox.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CStatusBox, CRichEditCtrl)
    ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
END_MESSAGE_MAP()

LRESULT CStatusBox::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    LRESULT code = Default();
    const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
    if (pMsg != nullptr && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    return code;
}

void CStatusBox::MakeRoomForLines(int nNew) {
    // The count includes the empty line after the last line end.
    const int nLines = GetLineCount();
    const int nOver = nLines + nNew - 1 - kMaxLines;
    if (nOver <= 0) return;
    // Back within the bound at once, also after a big report's rows.
    const int nDrop = std::min(nLines - 1, std::max(kDropLines, nOver + kDropLines));
    long nEnd = static_cast<long>(SendMessage(EM_LINEINDEX, nDrop));
    if (nLines <= kMaxKeptLines) nEnd = std::min(nEnd, m_nKeepFrom);
    if (nEnd <= 0) return;
    SetSel(0, nEnd);
    ReplaceSel("", FALSE);
    // Past kMaxKeptLines the verdict itself may go; then nothing is kept.
    m_nKeepFrom = m_nKeepFrom >= nEnd ? m_nKeepFrom - nEnd : LONG_MAX;
}

void CStatusBox::KeepFromHere() {
    // In the control's own character units, which need not count a line end
    // as the text's length does.
    SetSel(-1, -1);
    CHARRANGE range{};
    SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    m_nKeepFrom = range.cpMax;
}
