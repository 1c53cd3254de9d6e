// Loading and freeing the touch-frame library.
#include "app/LumagridDlg.h"
#include "link/QuorvaneLoader.h"

BOOL CLumagridDlg::LoadQuorvaneLib() {
    const quorvane::LoadedLibrary loaded = quorvane::LoadQuorvaneLibrary(m_lib);
    if (loaded.hLib == nullptr) {
        // The boxes read the same whatever the cause; the trace tells a missing
        // library (126) from one of the other bitness (193) or an incomplete one.
        Trace("%s\n", quorvane::RefusalText(loaded).c_str());
        ::MessageBoxW(m_hWnd, L"Failed to load Quorvane USB DLL", L"Error", MB_OK | MB_ICONERROR);
        return FALSE;
    }
    m_hLib = loaded.hLib;
    m_lib.registerQuorvaneUSBEvent(m_hWnd);
    return TRUE;
}

void CLumagridDlg::FreeQuorvaneLib() { quorvane::FreeQuorvaneLibrary(m_hLib, m_lib); }
