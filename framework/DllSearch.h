// Where the program's own DLL loads look: never in the current folder, and
// Windows' own DLLs only from the system folder. A DLL that someone drops into
// a working folder (a download folder, a USB stick the program was started
// from) must never run inside the scope.
#pragma once

#include <windows.h>

#include <string>

namespace dllsearch {

// The program's own file, by its full path however long; empty when Windows
// cannot tell.
std::wstring ExecutablePath();

// The program's folder with a trailing separator, however deep it lies; empty
// when Windows cannot tell. The maker's library and the settings file lie there.
std::wstring ExecutableFolder();

// Takes the current folder out of the search for every later load of this
// process (Windows 7 has SetDllDirectoryW). The program's folder stays first,
// so the maker's library still finds the DLLs it brings along.
void RemoveCurrentFolder();

// The full path of a DLL of the system folder ("C:\Windows\System32\x.dll").
std::wstring SystemPath(const wchar_t* pszName);

// Loads a Windows DLL by its full path in the system folder; its own
// dependencies are looked up from there too.
HMODULE LoadSystemLibrary(const wchar_t* pszName);

}  // namespace dllsearch
