#include "reports/LongPath.h"

namespace reports {

namespace {
bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
}  // namespace

std::wstring ExtendedLengthPath(std::wstring_view fullPath) {
    if (StartsWith(fullPath, L"\\\\?\\") || StartsWith(fullPath, L"\\\\.\\")) return std::wstring(fullPath);
    if (StartsWith(fullPath, L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
    if (fullPath.size() >= 3 && IsLetter(fullPath[0]) && fullPath[1] == L':' && fullPath[2] == L'\\')
        return L"\\\\?\\" + std::wstring(fullPath);
    return std::wstring(fullPath);
}

}  // namespace reports
