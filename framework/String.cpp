#include "framework/String.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

void CString::Format(const char* pszFormat, ...) {
    char buffer[256];
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(buffer, sizeof buffer, pszFormat, args);
    va_end(args);
    if (n < 0) {
        m_str.clear();
    } else if (static_cast<size_t>(n) < sizeof buffer) {
        m_str.assign(buffer, static_cast<size_t>(n));
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        vsnprintf(big.data(), big.size(), pszFormat, copy);
        m_str.assign(big.data(), static_cast<size_t>(n));
    }
    va_end(copy);
}

std::wstring Widen(const char* psz, UINT nCodePage) {
    if (psz == nullptr || *psz == '\0') return std::wstring();
    int n = MultiByteToWideChar(nCodePage, 0, psz, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(nCodePage, 0, psz, -1, &out[0], n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::string Narrow(const wchar_t* psz, UINT nCodePage) {
    if (psz == nullptr || *psz == L'\0') return std::string();
    int n = WideCharToMultiByte(nCodePage, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(nCodePage, 0, psz, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

bool IsCodePageLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

std::wstring SystemErrorText(DWORD nError) {
    wchar_t szReason[256] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, nError, 0, szReason,
                     static_cast<DWORD>(sizeof szReason / sizeof szReason[0]), nullptr);
    szReason[std::wcscspn(szReason, L"\r\n")] = L'\0';
    return L"error " + std::to_wstring(nError) + L" (" + szReason + L")";
}
