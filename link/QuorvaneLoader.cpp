#include "link/QuorvaneLoader.h"

#include <cstdio>
#include <cstring>

namespace quorvane {

namespace {
constexpr wchar_t kLibraryName[] = L"QuorvaneLib.dll";

// The executable's folder with a trailing separator, or nothing.
std::wstring ExeFolder() {
    wchar_t szPath[MAX_PATH * 4] = {0};
    const DWORD n = ::GetModuleFileNameW(nullptr, szPath, static_cast<DWORD>(sizeof szPath / sizeof szPath[0]));
    if (n == 0 || n >= sizeof szPath / sizeof szPath[0]) return std::wstring();
    std::wstring path(szPath, n);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
}  // namespace

LoadedLibrary LoadQuorvaneLibrary(QuorvaneBinding& binding) {
    LoadedLibrary loaded;
    binding.Clear();
    // By its full path when it lies beside us: never one that the current
    // folder or PATH happens to offer instead.
    const std::wstring beside = ExeFolder() + kLibraryName;
    if (::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES)
        loaded.hLib = ::LoadLibraryW(beside.c_str());
    else
        loaded.hLib = ::LoadLibraryW(kLibraryName);
    if (loaded.hLib == nullptr) {
        loaded.nError = ::GetLastError();
        return loaded;
    }
    if ((loaded.pszMissing = binding.Resolve(loaded.hLib)) != nullptr) FreeQuorvaneLibrary(loaded.hLib, binding);
    return loaded;
}

std::string RefusalText(const LoadedLibrary& loaded) {
    if (loaded.pszMissing != nullptr) return std::string("QuorvaneLib.dll lacks the entry point ") + loaded.pszMissing;
    char szReason[256] = "";
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, loaded.nError, 0, szReason,
                     sizeof szReason, nullptr);
    szReason[std::strcspn(szReason, "\r\n")] = '\0';
    char szLine[400];
    std::snprintf(szLine, sizeof szLine, "LoadLibrary QuorvaneLib.dll failed: error %lu (%s); this program is %d-bit",
                  static_cast<unsigned long>(loaded.nError), szReason, static_cast<int>(sizeof(void*) * 8));
    return szLine;
}

void FreeQuorvaneLibrary(HMODULE& hLib, QuorvaneBinding& binding) {
    if (hLib != nullptr) ::FreeLibrary(hLib);
    hLib = nullptr;
    binding.Clear();
}

void DropWaitingMessages(BOOL& bDropping) {
    bDropping = TRUE;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    bDropping = FALSE;
}

}  // namespace quorvane
