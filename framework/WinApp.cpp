#include "framework/WinApp.h"

#include "framework/DllSearch.h"

#include <string>

namespace {
CWinApp* g_pApp = nullptr;
CString g_strAppNameOverride;
bool g_bAppNameOverridden = false;

CString AppNameFromModule() {
    wchar_t path[MAX_PATH] = {0};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return CString(Narrow(name.c_str()));
}
}  // namespace

CWinApp::CWinApp(const char* pszAppName) {
    if (pszAppName != nullptr) m_strAppName = pszAppName;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleW(nullptr); }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleW(nullptr); }

CString AfxGetAppName() {
    if (g_bAppNameOverridden) return g_strAppNameOverride;
    if (g_pApp != nullptr && !g_pApp->m_strAppName.IsEmpty()) return g_pApp->m_strAppName;
    return AppNameFromModule();
}

void AfxSetAppName(const char* pszAppName) {
    g_strAppNameOverride = pszAppName;
    g_bAppNameOverridden = pszAppName != nullptr;
}

BOOL AfxInitRichEdit() {
    static HMODULE hRichEdit = dllsearch::LoadSystemLibrary(L"riched32.dll");
    return hRichEdit != nullptr;
}

int AfxWinMain(HINSTANCE hInstance) {
    // Before anything loads a DLL on demand.
    dllsearch::RemoveCurrentFolder();
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) return -1;
    pApp->m_hInstance = hInstance;
    if (pApp->m_strAppName.IsEmpty()) pApp->m_strAppName = AppNameFromModule();
    // A dialog application does its work inside InitInstance; no message loop
    // follows, whatever it returns.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
