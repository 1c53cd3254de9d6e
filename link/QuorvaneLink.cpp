// Loading and freeing the touch-frame library.
#include "app/LumagridDlg.h"
#include "link/QuorvaneLoader.h"

BOOL CLumagridDlg::LoadQuorvaneLib() {
    const quorvane::LoadedLibrary loaded =
        quorvane::LoadQuorvaneLibrary(m_lib, IsReplay() ? quorvane::SimulatorLibraryPath() : std::wstring());
    if (loaded.hLib == nullptr && IsReplay()) {
        // Never the maker's library instead: the box names what is missing.
        Trace("%s\n", quorvane::RefusalText(loaded).c_str());
        const std::wstring text = L"Cannot replay " + m_strReplayFile + L":\n" + quorvane::RefusalTextWide(loaded);
        ::MessageBoxW(m_hWnd, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
        return FALSE;
    }
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
