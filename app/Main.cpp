// The program's entry point and its one application object.
#include <cstdio>

#include "app/LumagridApp.h"

CLumagridApp theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    // Trace lines reach a pipe line by line.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    return AfxWinMain(hInstance);
}
