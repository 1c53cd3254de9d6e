// The common Save As dialog (and the Open dialog, given GetOpenFileNameW and
// OFN_FILEMUSTEXIST), shown through a replaceable function so that tests can
// answer it.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

typedef BOOL(WINAPI* SaveFileNameFn)(OPENFILENAMEW* pOfn);

struct CSaveAsDialog {
    const wchar_t* pszTitle = nullptr;
    std::wstring filter;  // pairs separated by NULs, ended by two
    const wchar_t* pszDefExt = nullptr;
    DWORD dwFlags = OFN_EXPLORER | OFN_HIDEREADONLY;

    // The chosen path, or nothing on Cancel. The proposed name is cut to the
    // dialog's buffer. The dialog never leaves another folder current
    // (OFN_NOCHANGEDIR is always added): files named relatively elsewhere
    // must not follow the user's choice.
    bool Run(SaveFileNameFn pfnShow, HWND hOwner, const std::wstring& proposed, std::wstring& chosen) const;
};
