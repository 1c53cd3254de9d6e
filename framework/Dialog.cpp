#include "framework/Dialog.h"

#include "framework/WinApp.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr) rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    m_bModal = true;
    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    // Without a parent of its own a dialog is owned by the main window, which
    // it disables while it runs.
    if (hParent == nullptr) {
        CWinApp* pApp = AfxGetApp();
        CWnd* pMain = pApp ? pApp->m_pMainWnd : nullptr;
        if (pMain != nullptr && pMain != this && pMain->m_hWnd != nullptr && ::IsWindow(pMain->m_hWnd))
            hParent = pMain->m_hWnd;
    }
    INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hParent,
                                       &CDialog::AfxDlgProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    m_bModal = false;
    HWND hWnd = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDTemplate),
                                     pParentWnd ? pParentWnd->m_hWnd : nullptr, &CDialog::AfxDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::EndDialog(int nResult) {
    if (m_bModal) ::EndDialog(m_hWnd, nResult);
    else DestroyWindow();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// Only WM_INITDIALOG is handled here: it subclasses the dialog window, and
// from then on every message reaches the message map through AfxWndProc, whose
// default processing ends in this procedure again and so in the dialog
// manager's own handling.
INT_PTR CALLBACK CDialog::AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    if (message != WM_INITDIALOG) return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (pDlg == nullptr || !pDlg->SubclassWindow(hWnd)) return TRUE;
    return pDlg->OnInitDialog();
}
