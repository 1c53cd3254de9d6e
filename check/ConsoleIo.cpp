#include "check/ConsoleIo.h"

#include <shellapi.h>

#include <cstdio>
#include <memory>

#include "framework/String.h"
#include "reports/WholeFile.h"

namespace console {

namespace {
std::wstring WidePath(const std::string& utf8) { return Widen(utf8.c_str(), CP_UTF8); }

void Write(DWORD nStd, FILE* stream, const std::string& text) {
    HANDLE h = ::GetStdHandle(nStd);
    DWORD mode = 0;
    if (h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode)) {
        const std::wstring wide = Widen(text.c_str(), CP_UTF8);
        DWORD nWritten = 0;
        ::WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &nWritten, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

struct HandleCloser {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
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

void WriteOut(const std::string& text) { Write(STD_OUTPUT_HANDLE, stdout, text); }
void WriteErr(const std::string& text) { Write(STD_ERROR_HANDLE, stderr, text); }

std::string FromCodePage(const std::string& text) {
    // Without MB_ERR_INVALID_CHARS a byte that does not convert becomes U+FFFD.
    return Narrow(Widen(text.c_str(), CP_ACP).c_str(), CP_UTF8);
}

bool ReadFileUtf8Path(const std::string& path, std::string& bytes, std::string& error) {
    bytes.clear();
    UniqueHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        error = ErrorText(::GetLastError());
        return false;
    }
    char buffer[65536];
    for (;;) {
        DWORD nRead = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &nRead, nullptr)) {
            error = ErrorText(::GetLastError());
            return false;
        }
        if (nRead == 0) return true;
        bytes.append(buffer, nRead);
    }
}

bool WriteFileUtf8Path(const std::string& path, const std::string& bytes, std::string& error) {
    const DWORD nError = reports::WriteWholeFile(WidePath(path), bytes.data(), bytes.size());
    if (nError == ERROR_SUCCESS) return true;
    error = ErrorText(nError);
    return false;
}

bool AppendLine(const std::string& path, const std::string& line, std::string& error) {
    // FILE_APPEND_DATA alone: every write lands at the end, earlier lines are
    // never touched.
    UniqueHandle file(::CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        error = ErrorText(::GetLastError());
        return false;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        error = ErrorText(::GetLastError());
        return false;
    }
    DWORD nWritten = 0;
    const BOOL bWritten = ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &nWritten, nullptr);
    const DWORD nError = bWritten ? (nWritten == line.size() ? ERROR_SUCCESS : ERROR_DISK_FULL) : ::GetLastError();
    ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    if (nError == ERROR_SUCCESS) return true;
    error = ErrorText(nError);
    return false;
}

std::string ExeFolder() {
    wchar_t szPath[MAX_PATH * 4] = {0};
    const DWORD n = ::GetModuleFileNameW(nullptr, szPath, static_cast<DWORD>(sizeof szPath / sizeof szPath[0]));
    std::wstring path(szPath, n);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Narrow(path.substr(0, slash + 1).c_str(), CP_UTF8);
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
