// Writing a file completely or not at all. A report or a daily table that a
// full disk cut short would look like a good one; an old table is days of
// measurements.
#include "reports/WholeFile.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {
// The codes the cause table knows by number.
static_assert(ERROR_ACCESS_DENIED == 5 && ERROR_DISK_FULL == 112 && ERROR_HANDLE_DISK_FULL == 39 &&
                  ERROR_SHARING_VIOLATION == 32 && ERROR_PATH_NOT_FOUND == 3,
              "Windows error codes");

// Removes the temporary file unless it became the real one.
struct TempFile {
    std::wstring path;
    bool bKeep = false;
    ~TempFile() {
        if (!bKeep) ::DeleteFileW(path.c_str());
    }
};
}  // namespace

namespace reports {

DWORD WriteWholeFile(const std::wstring& path, const void* pData, std::size_t nBytes, WriteFileFn pfnWrite) {
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(pData);
    // Beside the target, so that the final rename stays within one volume.
    TempFile temp{path + L".~" + std::to_wstring(::GetCurrentProcessId()) + L".tmp"};
    HANDLE hFile = ::CreateFileW(temp.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD nError = ::GetLastError();
        temp.bKeep = true;  // nothing was created
        return nError;
    }
    DWORD nError = ERROR_SUCCESS;
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        DWORD nChunk = static_cast<DWORD>(std::min<std::size_t>(nBytes - nDone, 1u << 20));
        DWORD nWritten = 0;
        if (!pfnWrite(hFile, bytes + nDone, nChunk, &nWritten, nullptr)) {
            nError = ::GetLastError();
            break;
        }
        if (nWritten == 0) {
            nError = ERROR_DISK_FULL;
            break;
        }
        nDone += nWritten;
    }
    if (nError == ERROR_SUCCESS && !::FlushFileBuffers(hFile)) nError = ::GetLastError();
    if (!::CloseHandle(hFile) && nError == ERROR_SUCCESS) nError = ::GetLastError();
    if (nError == ERROR_SUCCESS &&
        !::MoveFileExW(temp.path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        nError = ::GetLastError();
    if (nError == ERROR_SUCCESS) temp.bKeep = true;
    return nError;
}

}  // namespace reports
