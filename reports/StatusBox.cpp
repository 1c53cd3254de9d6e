#include "reports/StatusBox.h"

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

void CStatusBox::MakeRoomForLine() {
    // The count includes the empty line after the last line end.
    if (GetLineCount() <= kMaxLines) return;
    const long nEnd = static_cast<long>(SendMessage(EM_LINEINDEX, kDropLines));
    SetSel(0, nEnd);
    ReplaceSel("", FALSE);
}
