#include "framework/Messages.h"

#include "framework/WinApp.h"

int AfxMessageBoxW(const wchar_t* pszText, UINT nType) {
    CWinApp* pApp = AfxGetApp();
    HWND hOwner = (pApp && pApp->m_pMainWnd) ? pApp->m_pMainWnd->m_hWnd : nullptr;
    if (hOwner != nullptr && !::IsWindow(hOwner)) hOwner = nullptr;
    std::wstring caption = Widen(AfxGetAppName());
    return ::MessageBoxW(hOwner, pszText, caption.c_str(), nType);
}

int AfxMessageBox(const char* pszText, UINT nType) { return AfxMessageBoxW(Widen(pszText).c_str(), nType); }

void AfxThrowResourceException() { throw CResourceException(); }
