// Writing a file whole while another program holds the old one for a moment,
// and beside a target whose path nearly fills MAX_PATH.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "reports/LongPath.h"
#include "reports/WholeFile.h"

namespace {

std::wstring TempFolder(const wchar_t* pszName) {
    wchar_t szTemp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    std::wstring folder = std::wstring(szTemp) + pszName + L"-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

// Files in the folder other than `keep`: a temporary file left behind shows here.
int CountOthers(const std::wstring& folder, const std::wstring& keep) {
    WIN32_FIND_DATAW found;
    HANDLE hFind = ::FindFirstFileW((folder + L"*").c_str(), &found);
    int n = 0;
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." && name != keep) ++n;
    } while (::FindNextFileW(hFind, &found));
    ::FindClose(hFind);
    return n;
}

// A viewer or scanner: the file open for reading, without delete sharing, so
// that it cannot be replaced meanwhile.
HANDLE Hold(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD Write(const std::wstring& path, const std::string& bytes) {
    return reports::WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace

TEST(WholeFile, TargetHeldForAMomentIsReplacedOnceReleasedAndHeldTooLongStaysAsItWas) {
    const std::wstring folder = TempFolder(L"lumagrid-held");
    const std::wstring table = folder + L"Frame_1.txt";

    // Released after 300 ms: the new bytes land, nothing is left beside them.
    WriteAll(table, "old");
    HANDLE hHeld = Hold(table);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    std::thread release([hHeld] {
        ::Sleep(300);
        ::CloseHandle(hHeld);
    });
    EXPECT_EQ(Write(table, "new column"), static_cast<DWORD>(ERROR_SUCCESS));
    release.join();
    EXPECT_EQ(ReadAll(table), "new column");
    EXPECT_EQ(CountOthers(folder, L"Frame_1.txt"), 0);

    // Held beyond the bound: the error, after the retries, and the old bytes.
    hHeld = Hold(table);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    const ULONGLONG start = ::GetTickCount64();
    const DWORD nError = Write(table, "lost");
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    ::CloseHandle(hHeld);
    EXPECT_TRUE(nError == ERROR_ACCESS_DENIED || nError == ERROR_SHARING_VIOLATION) << nError;
    EXPECT_GE(elapsed, reports::kReplaceRetryMs - 100);
    EXPECT_EQ(ReadAll(table), "new column");
    EXPECT_EQ(CountOthers(folder, L"Frame_1.txt"), 0);

    // A folder of that name denies access for good: no waiting for it.
    const std::wstring clash = folder + L"Frame_2.txt";
    ASSERT_TRUE(::CreateDirectoryW(clash.c_str(), nullptr));
    const ULONGLONG startFolder = ::GetTickCount64();
    EXPECT_NE(Write(clash, "refused"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_LT(::GetTickCount64() - startFolder, reports::kReplaceRetryMs);
    ::RemoveDirectoryW(clash.c_str());
    EXPECT_EQ(CountOthers(folder, L"Frame_1.txt"), 0);

    ::DeleteFileW(table.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// Windows refuses a plain path of MAX_PATH characters or more (Wine does
// not): the temporary file beside a long target takes the extended form.
TEST(WholeFile, TargetNearMaxPathIsWrittenThroughTheExtendedForm) {
    const std::wstring folder = TempFolder(L"lumagrid-long");
    const std::wstring deep = folder + std::wstring(200, L'd');
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    // The target itself fits MAX_PATH, its temporary name would not.
    std::wstring target = deep + L"\\";
    target += std::wstring(reports::kMaxPlainPathLength - target.size() - 4, L'r') + L".txt";
    ASSERT_EQ(target.size(), reports::kMaxPlainPathLength);

    const reports::ReplacePaths paths = reports::ReplacePathsFor(target, 1234);
    EXPECT_EQ(paths.temp, L"\\\\?\\" + target + L".~1234.tmp");
    EXPECT_EQ(paths.target, L"\\\\?\\" + target);
    EXPECT_EQ(Write(target, "table"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadAll(target), "table");

    // A short one keeps its own spelling, relative names included.
    const reports::ReplacePaths plain = reports::ReplacePathsFor(L"Frame_1.txt", 1234);
    EXPECT_EQ(plain.temp, L"Frame_1.txt.~1234.tmp");
    EXPECT_EQ(plain.target, L"Frame_1.txt");

    ::DeleteFileW(target.c_str());
    ::RemoveDirectoryW(deep.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// The one read both programs use: a table a viewer keeps open for writing
// still reads whole (bigger than one read chunk), and a missing file is an
// error the caller sees, not an empty file it could overwrite unknowingly.
TEST(WholeFile, ReadsAFileHeldForWritingAndReportsAMissingOne) {
    const std::wstring folder = TempFolder(L"lumagrid-read");
    const std::wstring path = folder + L"table.csv";
    std::string bytes(200000, 'x');
    bytes[65535] = '\n';
    bytes.back() = 'z';
    WriteAll(path, bytes);
    HANDLE hWriter = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
    std::string read = "stale";
    EXPECT_EQ(reports::ReadWholeFile(path, read), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(read, bytes);
    ::CloseHandle(hWriter);

    EXPECT_EQ(reports::ReadWholeFile(folder + L"absent.csv", read), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(read.empty());
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
