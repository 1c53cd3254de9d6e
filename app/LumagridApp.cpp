#include "app/LumagridApp.h"

#include "app/LumagridDlg.h"
#include "framework/DllSearch.h"

CLumagridApp::CLumagridApp() : CWinApp(nullptr) {}

void CLumagridApp::GetExeDir(std::wstring& strExeDir) { strExeDir = dllsearch::ExecutableFolder(); }

std::wstring CLumagridApp::GetCurrentDir() {
    // Asked for its length first: a current folder may be longer than MAX_PATH.
    DWORD nLength = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(nLength, L'\0');
    const DWORD nCopied = nLength == 0 ? 0 : ::GetCurrentDirectoryW(nLength, &dir[0]);
    if (nCopied == 0 || nCopied >= nLength) return std::wstring();
    dir.resize(nCopied);
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    return dir;
}

BOOL CLumagridApp::InitInstance() {
    GetExeDir(m_strExeDir);
    m_strStartDir = GetCurrentDir();
    AfxInitRichEdit();

    CLumagridDlg* pDlg = new CLumagridDlg(nullptr);
    m_pMainWnd = pDlg;
    pDlg->DoModal();
    m_pMainWnd = nullptr;
    delete pDlg;
    return FALSE;
}
