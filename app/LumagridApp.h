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
    // The folder that was current when the program started, absolute, with a
    // trailing separator; the daily tables live there. A Save As dialog may
    // make another folder current later.
    std::wstring m_strStartDir;

    static void GetExeDir(std::wstring& strExeDir);
    static std::wstring GetCurrentDir();
};
