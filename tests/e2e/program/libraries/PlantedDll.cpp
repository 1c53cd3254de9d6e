// A DLL planted under a Windows DLL's name (riched32.dll, winmm.dll) beside a
// program: should the program ever load it, it leaves a mark in the current
// folder and refuses to load.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD nReason, LPVOID) {
    if (nReason != DLL_PROCESS_ATTACH) return TRUE;
    HANDLE hMark = ::CreateFileW(L"planted-dll-was-loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hMark != INVALID_HANDLE_VALUE) ::CloseHandle(hMark);
    return FALSE;
}
