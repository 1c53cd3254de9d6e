#include "console/ConsoleIo.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "check/CheckReport.h"
#include "framework/Handle.h"
#include "framework/String.h"
#include "reports/WholeFile.h"

namespace console {

namespace {
std::wstring WidePath(const std::string& utf8) { return Widen(utf8.c_str(), CP_UTF8); }

void Write(DWORD nStd, FILE* stream, const std::string& text) {
    HANDLE h = ::GetStdHandle(nStd);
    DWORD mode = 0;
    if (h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode)) {
        WriteConsolePieces(Widen(text.c_str(), CP_UTF8), [h](const wchar_t* pText, DWORD nUnits, DWORD& nWritten) {
            return ::WriteConsoleW(h, pText, nUnits, &nWritten, nullptr) != FALSE;
        });
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) return args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i], CP_UTF8));
    ::LocalFree(argv);
    return args;
}

bool WriteConsolePieces(const std::wstring& text, const ConsoleWriter& write) {
    std::size_t nDone = 0;
    while (nDone < text.size()) {
        std::size_t nPiece = std::min(kConsolePieceUnits, text.size() - nDone);
        // A high surrogate at the cut goes with its low half into the next piece.
        if (nDone + nPiece < text.size() && IS_HIGH_SURROGATE(text[nDone + nPiece - 1])) --nPiece;
        DWORD nWritten = 0;
        if (!write(text.data() + nDone, static_cast<DWORD>(nPiece), nWritten) || nWritten == 0) return false;
        nDone += std::min<std::size_t>(nWritten, nPiece);
    }
    return true;
}

void WriteOut(const std::string& text) { Write(STD_OUTPUT_HANDLE, stdout, text); }
void WriteErr(const std::string& text) { Write(STD_ERROR_HANDLE, stderr, text); }

bool StderrIsConsole() {
    const HANDLE h = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != FALSE;
}

void Progress(const std::string& text) { WriteErr(std::string(kProgram) + ": " + text + "\n"); }

std::string FromCodePage(const std::string& text) {
    // Without MB_ERR_INVALID_CHARS a byte that does not convert becomes U+FFFD.
    return Narrow(Widen(text.c_str(), CP_ACP).c_str(), CP_UTF8);
}

bool ReadFileUtf8Path(const std::string& path, std::string& bytes, std::string& error) {
    const DWORD nError = reports::ReadWholeFile(WidePath(path), bytes);
    if (nError == ERROR_SUCCESS) return true;
    error = ErrorText(nError);
    return false;
}

bool WriteFileUtf8Path(const std::string& path, const std::string& bytes, std::string& error) {
    const DWORD nError = reports::WriteWholeFile(WidePath(path), bytes.data(), bytes.size());
    if (nError == ERROR_SUCCESS) return true;
    error = ErrorText(nError);
    return false;
}

HANDLE OpenLogFile(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), kLogFileAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool AppendLine(const std::string& path, const std::string& line, std::string& error) {
    CHandle file(OpenLogFile(WidePath(path)));
    if (!file) {
        error = ErrorText(::GetLastError());
        return false;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        error = ErrorText(::GetLastError());
        return false;
    }
    // Under the lock: the last byte no other station can change before our write.
    std::string record = line;
    LARGE_INTEGER size{};
    DWORD nError = ::GetFileSizeEx(file.get(), &size) ? ERROR_SUCCESS : ::GetLastError();
    if (nError == ERROR_SUCCESS && size.QuadPart > 0) {
        OVERLAPPED last{};
        last.Offset = static_cast<DWORD>((size.QuadPart - 1) & 0xFFFFFFFF);
        last.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        char byLast = 0;
        DWORD nRead = 0;
        if (!::ReadFile(file.get(), &byLast, 1, &nRead, &last)) nError = ::GetLastError();
        else if (nRead == 1 && byLast != '\n') record.insert(0, byLast == '\r' ? "\n" : "\r\n");
    }
    if (nError == ERROR_SUCCESS) {
        DWORD nWritten = 0;
        if (!::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &nWritten, nullptr))
            nError = ::GetLastError();
        else if (nWritten != record.size()) nError = ERROR_DISK_FULL;
    }
    ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    if (nError == ERROR_SUCCESS) return true;
    error = ErrorText(nError);
    return false;
}

bool WriteResults(const std::vector<std::pair<std::string, std::string>>& files, const std::string& logPath,
                  const std::vector<std::string>& logLines) {
    bool bWritten = true;
    for (const auto& [path, bytes] : files) {
        std::string error;
        if (path.empty() || WriteFileUtf8Path(path, bytes, error)) continue;
        Progress("cannot write " + path + ": " + error);
        bWritten = false;
    }
    if (logPath.empty()) return bWritten;
    for (const std::string& line : logLines) {
        std::string error;
        if (AppendLine(logPath, line, error)) continue;
        Progress("cannot append to " + logPath + ": " + error);
        return false;
    }
    return bWritten;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    names.clear();
    std::wstring pattern = WidePath(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':')
        pattern += L'\\';
    pattern += L'*';
    // Only the long names: our own matching never sees the 8.3 names, through
    // which Windows' own "*.txt" also matches "a.txtx".
    WIN32_FIND_DATAW found{};
    HANDLE hFind = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD nError = ::GetLastError();
        if (nError == ERROR_FILE_NOT_FOUND) return true;  // an empty root folder
        error = ErrorText(nError);
        return false;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(Narrow(found.cFileName, CP_UTF8));
    } while (::FindNextFileW(hFind, &found));
    const DWORD nError = ::GetLastError();
    ::FindClose(hFind);
    if (nError == ERROR_NO_MORE_FILES) return true;
    error = ErrorText(nError);
    return false;
}

namespace {

// The full path with the part of it that exists in its long form: a file not
// yet written is compared by where it would be.
std::wstring LongFullPath(const std::wstring& path) {
    const DWORD nFull = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (nFull == 0) return {};
    std::wstring full(nFull, L'\0');
    const DWORD nGot = ::GetFullPathNameW(path.c_str(), nFull, &full[0], nullptr);
    if (nGot == 0 || nGot >= nFull) return {};
    full.resize(nGot);
    std::wstring head = full, tail;
    while (head.size() >= 3) {
        const DWORD nLong = ::GetLongPathNameW(head.c_str(), nullptr, 0);
        if (nLong > 0) {
            std::wstring longHead(nLong, L'\0');
            const DWORD nLongGot = ::GetLongPathNameW(head.c_str(), &longHead[0], nLong);
            if (nLongGot > 0 && nLongGot < nLong) {
                longHead.resize(nLongGot);
                if (tail.empty()) return longHead;
                const bool bSeparator = longHead.back() == L'\\' || longHead.back() == L'/';
                return longHead + (bSeparator ? L"" : L"\\") + tail;
            }
            break;
        }
        // Not there (yet): try its folder. A root keeps its separator ("C:\\").
        const std::size_t cut = head.find_last_of(L"\\/", head.size() - 2);
        if (cut == std::wstring::npos) break;
        const std::wstring name = head.substr(cut + 1);
        tail = tail.empty() ? name : name + L"\\" + tail;
        while (!tail.empty() && (tail.back() == L'\\' || tail.back() == L'/')) tail.pop_back();
        const std::size_t nHead = cut == 2 && head[1] == L':' ? cut + 1 : cut;
        if (nHead >= head.size()) break;
        head.resize(nHead);
    }
    return full;
}

std::wstring UpperCase(const std::wstring& text) {
    if (text.empty()) return text;
    // The invariant mapping: file systems do not fold case by the user's language ("i" stays "I" in Turkish too).
    const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                                  nullptr, 0, nullptr, nullptr, 0);
    if (n <= 0) return text;
    std::wstring upper(static_cast<std::size_t>(n), L'\0');
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()), &upper[0], n,
                    nullptr, nullptr, 0);
    return upper;
}

}  // namespace

check::FileIdentity IdentityOf(const std::string& path) {
    check::FileIdentity identity;
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return identity;
    // No access rights asked: the file's identity is metadata, readable even while another program holds it.
    CHandle file(::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(file.get(), &info)) {
            identity.bExists = true;
            identity.nVolume = info.dwVolumeSerialNumber;
            identity.nIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        }
    }
    const std::wstring full = LongFullPath(wide);
    if (!full.empty()) identity.comparablePath = Narrow(UpperCase(full).c_str(), CP_UTF8);
    return identity;
}

int RefuseCommandLine(const std::string& reason, const std::string& usage) {
    WriteErr(std::string(kProgram) + ": " + reason + "\n\n" + usage);
    return check::kExitUsage;
}

std::string SharedRunFileError(const std::string& replayPath, const std::string& jsonPath, const std::string& junitPath,
                               const std::string& logPath) {
    return check::SharedFileError(
        {{"--replay", replayPath}, {"--json", jsonPath}, {"--junit", junitPath}, {"--log", logPath}}, &SameFile);
}

bool SameFile(const std::string& a, const std::string& b) {
    return check::SameFileIdentity(IdentityOf(a), IdentityOf(b));
}

std::string LocalTimeText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD nZone = ::GetTimeZoneInformation(&zone);
    long bias = zone.Bias;  // minutes to add to local time for UTC
    if (nZone == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (nZone == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    const long offset = -bias;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, offset < 0 ? '-' : '+', (offset < 0 ? -offset : offset) / 60,
                  (offset < 0 ? -offset : offset) % 60);
    return text;
}

std::string ErrorText(DWORD nError) {
    wchar_t szText[512] = {0};
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, nError, 0,
                                     szText, static_cast<DWORD>(sizeof szText / sizeof szText[0]), nullptr);
    std::string text = n > 0 ? Narrow(szText, CP_UTF8) : "Windows error " + std::to_string(nError);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

}  // namespace console
