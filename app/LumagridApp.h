#pragma once

#include "framework/Afx.h"

#include <string>

class CLumagridApp : public CWinApp {
public:
    CLumagridApp();
    BOOL InitInstance() override;

    // The executable's folder with a trailing separator; the settings file
    // lives there. Wide: a folder named outside the system code page has no
    // narrow name that Windows would find.
    std::wstring m_strExeDir;

    static void GetExeDir(std::wstring& strExeDir);
};

CLumagridApp* LumagridApp();
