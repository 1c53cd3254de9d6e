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

BOOL CLumagridApp::InitInstance() {
    GetExeDir(m_strExeDir);
    AfxInitRichEdit();

    CLumagridDlg* pDlg = new CLumagridDlg(nullptr);
    m_pMainWnd = pDlg;
    pDlg->DoModal();
    m_pMainWnd = nullptr;
    delete pDlg;
    return FALSE;
}
