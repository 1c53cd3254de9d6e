// Reading a file whole, and writing one completely or not at all. A report or a daily table that a
// full disk cut short would look like a good one; an old table is days of
// measurements.
#include "reports/WholeFile.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "reports/LongPath.h"

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

bool IsHeldByAnother(DWORD nError) {
    return nError == ERROR_SHARING_VIOLATION || nError == ERROR_ACCESS_DENIED || nError == ERROR_LOCK_VIOLATION;
}

// Moves the temporary file over the target. Another program that holds the
// target for a moment makes Windows answer "sharing violation" or "access
// denied"; that is tried again for a bounded time, not the day's column lost.
// A read-only file or a folder of that name denies access for good.
DWORD Replace(const std::wstring& temp, const std::wstring& target) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        const DWORD nError = ::GetLastError();
        if (!IsHeldByAnother(nError)) return nError;
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
            return nError;
        if (::GetTickCount64() - start >= reports::kReplaceRetryMs) return nError;
        ::Sleep(reports::kReplaceRetryStepMs);
    }
}
}  // namespace

namespace reports {

ReplacePaths ReplacePathsFor(const std::wstring& path, DWORD nProcessId) {
    // Beside the target, so that the final rename stays within one volume.
    const std::wstring suffix = L".~" + std::to_wstring(nProcessId) + L".tmp";
    // Windows measures the limit on the full path, whatever the spelling.
    std::wstring full = path;
    const DWORD nNeeded = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (nNeeded > 0) {
        std::vector<wchar_t> buffer(nNeeded + 1, L'\0');
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n > 0 && n < buffer.size()) full.assign(buffer.data(), n);
    }
    if (full.size() + suffix.size() <= kMaxPlainPathLength) return ReplacePaths{path + suffix, path};
    return ReplacePaths{ExtendedLengthPath(full + suffix), ExtendedLengthPath(full)};
}

DWORD ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    char buffer[65536];
    for (;;) {
        DWORD nRead = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &nRead, nullptr)) return ::GetLastError();
        if (nRead == 0) return ERROR_SUCCESS;
        bytes.append(buffer, nRead);
    }
}

DWORD WriteWholeFile(const std::wstring& path, const void* pData, std::size_t nBytes, WriteFileFn pfnWrite) {
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(pData);
    const ReplacePaths paths = ReplacePathsFor(path, ::GetCurrentProcessId());
    TempFile temp{paths.temp};
    HANDLE hFile =
        ::CreateFileW(temp.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    if (nError == ERROR_SUCCESS) nError = Replace(temp.path, paths.target);
    if (nError == ERROR_SUCCESS) temp.bKeep = true;
    return nError;
}

}  // namespace reports
