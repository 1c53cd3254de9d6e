#include "link/QuorvaneLoader.h"

#include <cwchar>

#include "framework/DllSearch.h"
#include "framework/String.h"

namespace quorvane {

namespace {
constexpr wchar_t kLibraryName[] = L"QuorvaneLib.dll";
}  // namespace

LoadedLibrary LoadQuorvaneLibrary(QuorvaneBinding& binding) {
    LoadedLibrary loaded;
    binding.Clear();
    // By its full path when it lies beside us: never one that the current
    // folder or PATH happens to offer instead.
    const std::wstring beside = dllsearch::ExecutableFolder() + kLibraryName;
    const bool bBeside = ::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (bBeside) loaded.hLib = ::LoadLibraryW(beside.c_str());
    else loaded.hLib = ::LoadLibraryW(kLibraryName);
    if (loaded.hLib == nullptr) {
        loaded.nError = ::GetLastError();
        // Windows answers 126 both for a library it cannot find and for one
        // whose own imports it cannot find. Only the file beside the program
        // is known to be there; where a search would have found one is not
        // asked again.
        loaded.bPresent = loaded.nError == ERROR_MOD_NOT_FOUND && bBeside;
        return loaded;
    }
    if ((loaded.pszMissing = binding.Resolve(loaded.hLib)) != nullptr) FreeQuorvaneLibrary(loaded.hLib, binding);
    return loaded;
}

std::wstring RefusalTextWide(const LoadedLibrary& loaded) {
    if (loaded.pszMissing != nullptr) return L"QuorvaneLib.dll lacks the entry point " + Widen(loaded.pszMissing);
    // The system's words as characters: an ANSI text would be taken for
    // UTF-8 by the console tool and turn to replacement characters on a
    // Korean Windows.
    wchar_t szReason[256] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, loaded.nError, 0, szReason,
                     static_cast<DWORD>(sizeof szReason / sizeof szReason[0]), nullptr);
    szReason[std::wcscspn(szReason, L"\r\n")] = L'\0';
    std::wstring line = loaded.bPresent ? L"QuorvaneLib.dll is present but a DLL it needs is missing"
                                        : L"LoadLibrary QuorvaneLib.dll failed";
    line += L": error " + std::to_wstring(loaded.nError) + L" (" + szReason + L"); this program is " +
            std::to_wstring(sizeof(void*) * 8) + L"-bit";
    return line;
}

std::string RefusalText(const LoadedLibrary& loaded) { return Narrow(RefusalTextWide(loaded).c_str()); }

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
