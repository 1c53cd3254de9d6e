// Writing a file completely or not at all: shared by the window program (the
// report, the daily tables) and the console tool (its JSON and JUnit files).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace reports {

typedef BOOL(WINAPI* WriteFileFn)(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten,
                                  LPOVERLAPPED pOverlapped);

// The bytes go to a temporary file beside `path`, which replaces the file only
// once every byte is on disk; otherwise the file stays as it was and no
// temporary file is left. 0 or the Windows error of the step that failed.
// `pfnWrite` writes the bytes (tests make a disk fill up).
DWORD WriteWholeFile(const std::wstring& path, const void* pData, std::size_t nBytes,
                     WriteFileFn pfnWrite = &::WriteFile);

}  // namespace reports
