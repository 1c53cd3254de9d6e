// Loading and freeing the touch-frame library.
#include "app/LumagridDlg.h"

#include <cstring>

BOOL CLumagridDlg::LoadQuorvaneLib() {
    m_hLib = ::LoadLibraryA("QuorvaneLib.dll");
    if (m_hLib == nullptr) {
        // The boxes read the same whatever the cause; the trace tells a missing
        // library (126) from one of the other bitness (193).
        const DWORD nError = ::GetLastError();
        char szReason[256] = "";
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, nError, 0, szReason,
                         sizeof szReason, nullptr);
        szReason[std::strcspn(szReason, "\r\n")] = '\0';
        Trace("LoadLibrary QuorvaneLib.dll failed: error %lu (%s); this program is %d-bit\n", nError, szReason,
              static_cast<int>(sizeof(void*) * 8));
        ::MessageBoxW(m_hWnd, L"Failed to load Quorvane USB DLL", L"Error", MB_OK | MB_ICONERROR);
        return FALSE;
    }
    // A library without one of the entry points the program calls cannot be
    // used: it is refused like a library that is not there at all.
    if (const char* pszMissing = m_lib.Resolve(m_hLib)) {
        Trace("QuorvaneLib.dll lacks the entry point %s\n", pszMissing);
        ::MessageBoxW(m_hWnd, L"Failed to load Quorvane USB DLL", L"Error", MB_OK | MB_ICONERROR);
        FreeQuorvaneLib();
        return FALSE;
    }
    m_lib.registerQuorvaneUSBEvent(m_hWnd);
    return TRUE;
}

void CLumagridDlg::FreeQuorvaneLib() {
    if (m_hLib != nullptr) ::FreeLibrary(m_hLib);
    m_hLib = nullptr;
    // Nothing may call into the unloaded module any more.
    m_lib.Clear();
}
