// Reading a file whole, and writing one completely or not at all: shared by the
// window program (the report, the daily tables) and the console tool (its
// JSON and JUnit files, the tables it reads).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace reports {

typedef BOOL(WINAPI* WriteFileFn)(HANDLE hFile, LPCVOID pData, DWORD nBytes, LPDWORD pnWritten,
                                  LPOVERLAPPED pOverlapped);

// How long the replace of the old file is tried again while another program
// (a virus scanner, the search indexer, a sync client, a viewer) holds it.
constexpr DWORD kReplaceRetryMs = 2000;
constexpr DWORD kReplaceRetryStepMs = 50;

// The bytes go to a temporary file beside `path`, which replaces the file only
// once every byte is on disk; otherwise the file stays as it was and no
// temporary file is left. 0 or the Windows error of the step that failed.
// `pfnWrite` writes the bytes (tests make a disk fill up).
DWORD WriteWholeFile(const std::wstring& path, const void* pData, std::size_t nBytes,
                     WriteFileFn pfnWrite = &::WriteFile);

// Every byte of `path` into `bytes`: 0 or the Windows error (ERROR_FILE_NOT_FOUND
// included; the caller decides what a missing file means). A program that
// keeps the file open for writing, or is about to replace it, does not fail the read.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes);

// The temporary file of `path` for process `nProcessId`, and the name the
// replace gives the target: both in the extended-length form when the
// temporary one would not fit MAX_PATH, so that any path Windows lets a user
// choose can be saved.
struct ReplacePaths {
    std::wstring temp;
    std::wstring target;
};
ReplacePaths ReplacePathsFor(const std::wstring& path, DWORD nProcessId);

}  // namespace reports
