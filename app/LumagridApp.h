#pragma once

#include "framework/Afx.h"

class CLumagridApp : public CWinApp {
public:
    CLumagridApp();
    BOOL InitInstance() override;

    // The executable's folder with a trailing separator; the settings file lives there.
    CString m_strExeDir;

    static void GetExeDir(CString& strExeDir);
};

CLumagridApp* LumagridApp();
