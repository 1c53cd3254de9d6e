// CDialog: a dialog from a template, run modally (DoModal) or, for tests and
// tools, modeless (Create). OK and Cancel end it.
#pragma once

#include "framework/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a member control to the template's control nID (subclassing it).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

    virtual INT_PTR DoModal();
    // Creates the dialog modeless; it ends with DestroyWindow instead of EndDialog.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT m_nIDTemplate;

protected:
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    virtual void OnOK();
    virtual void OnCancel();

    CWnd* m_pParentWnd;
    bool m_bModal = false;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
