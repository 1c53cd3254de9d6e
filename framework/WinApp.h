// CWinApp: the one application object. AfxWinMain prepares it, runs
// InitInstance (which runs the modal main dialog) and ends the process.
#pragma once

#include "framework/Wnd.h"

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* pszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }

    HICON LoadIcon(UINT nIDResource) const;

    HINSTANCE m_hInstance = nullptr;
    // The executable's file name without extension unless the application names itself.
    CString m_strAppName;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The application name used as message-box caption and by the advanced switch.
CString AfxGetAppName();
// Overrides the application name (tests run the dialog inside another executable).
void AfxSetAppName(const char* pszAppName);

// Loads the version-1 rich edit library (class "RICHEDIT").
BOOL AfxInitRichEdit();

int AfxWinMain(HINSTANCE hInstance);
