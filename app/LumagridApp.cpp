#include "app/LumagridApp.h"

#include <cstdlib>

#include "app/LumagridDlg.h"

CLumagridApp::CLumagridApp() : CWinApp(nullptr) {}

CLumagridApp* LumagridApp() { return static_cast<CLumagridApp*>(AfxGetApp()); }

void CLumagridApp::GetExeDir(CString& strExeDir) {
    wchar_t szPath[MAX_PATH] = {0};
    ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::string path = Narrow(szPath);
    char szDrive[_MAX_DRIVE] = {0};
    char szDir[_MAX_DIR] = {0};
    _splitpath(path.c_str(), szDrive, szDir, nullptr, nullptr);
    strExeDir.Format("%s%s", szDrive, szDir);
}

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
