#include "app/LumagridApp.h"

#include "app/LumagridDlg.h"
#include "framework/DllSearch.h"

CLumagridApp::CLumagridApp() : CWinApp(nullptr) {}

CLumagridApp* LumagridApp() { return static_cast<CLumagridApp*>(AfxGetApp()); }

void CLumagridApp::GetExeDir(std::wstring& strExeDir) { strExeDir = dllsearch::ExecutableFolder(); }

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
